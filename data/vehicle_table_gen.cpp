// Build-time tool: reads the vehicle table (vehicles.tsv) and writes the C++ source that
// defines VehicleTable (config/vehicle_table.h). Bad data stops the build with the file name,
// the line number and what is wrong, so a slip in the data never reaches the program.
//
//   vehicle_table_gen <vehicles.tsv> <out.cpp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kFieldCount = 11;

struct Row {
    std::string manufacturer;
    std::string model;
    std::string version;
    std::optional<std::string> years;
    uint16_t level = 0;
    uint16_t second_level = 0;
    uint16_t car_number = 0;
    std::optional<std::string> polish_note;
    std::optional<std::string> english_note;
    std::string third_text;
    uint32_t min_firmware = 0;
};

struct Manufacturer {
    std::string name;
    std::vector<Row> rows;
};

// Thrown on bad input; caught once in main, which names the file.
struct DataError {
    int line;
    std::string what;
};

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

// "\N" is absence; otherwise the escapes \n, \t and \\ are undone.
std::optional<std::string> unescape(const std::string& field, int line, const char* name) {
    if (field == "\\N")
        return std::nullopt;
    std::string text;
    for (std::string::size_type i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text += field[i];
            continue;
        }
        const char next = i + 1 < field.size() ? field[i + 1] : '\0';
        if (next == 'n') {
            text += '\n';
        } else if (next == 't') {
            text += '\t';
        } else if (next == '\\') {
            text += '\\';
        } else {
            throw DataError{line, std::string("unknown escape in ") + name};
        }
        ++i;
    }
    return text;
}

std::string required_text(const std::string& field, int line, const char* name) {
    std::optional<std::string> text = unescape(field, line, name);
    if (!text)
        throw DataError{line, std::string(name) + " may not be absent"};
    return *text;
}

uint32_t parse_number(const std::string& field, uint32_t max, int line, const char* name) {
    if (field.empty() || field.size() > 10)
        throw DataError{line, std::string(name) + " is not a number"};
    uint64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9')
            throw DataError{line, std::string(name) + " is not a number"};
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > max)
        throw DataError{line, std::string(name) + " is out of range"};
    return static_cast<uint32_t>(value);
}

Row parse_row(const std::string& line_text, int line) {
    const std::vector<std::string> f = split_tabs(line_text);
    if (static_cast<int>(f.size()) != kFieldCount) {
        throw DataError{line, "expected " + std::to_string(kFieldCount) + " fields, found " +
                                  std::to_string(f.size())};
    }
    Row row;
    row.manufacturer = required_text(f[0], line, "manufacturer");
    if (row.manufacturer.empty())
        throw DataError{line, "manufacturer is empty"};
    row.model = required_text(f[1], line, "model");
    row.version = required_text(f[2], line, "version");
    row.years = unescape(f[3], line, "years");
    row.level = static_cast<uint16_t>(parse_number(f[4], 0xFFFF, line, "level"));
    row.second_level = static_cast<uint16_t>(parse_number(f[5], 0xFFFF, line, "second level"));
    row.car_number = static_cast<uint16_t>(parse_number(f[6], 0xFFFF, line, "car number"));
    row.polish_note = unescape(f[7], line, "Polish note");
    row.english_note = unescape(f[8], line, "English note");
    row.third_text = required_text(f[9], line, "third text");
    row.min_firmware = parse_number(f[10], 0xFFFFFFFFu, line, "minimum firmware");
    return row;
}

std::vector<Manufacturer> read_table(std::istream& in) {
    std::vector<Manufacturer> table;
    std::vector<int> first_line;  // where each manufacturer starts, for the error message
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r')
            throw DataError{line, "carriage return (save with LF line ends)"};
        if (!text.empty() && text[0] == '#')
            continue;
        if (text.empty())
            throw DataError{line, "empty line"};
        Row row = parse_row(text, line);
        if (table.empty() || table.back().name != row.manufacturer) {
            for (std::size_t i = 0; i < table.size(); ++i) {
                if (table[i].name == row.manufacturer) {
                    throw DataError{line, "rows of " + row.manufacturer +
                                              " are split (first group at line " +
                                              std::to_string(first_line[i]) + ")"};
                }
            }
            table.push_back({row.manufacturer, {}});
            first_line.push_back(line);
        }
        table.back().rows.push_back(std::move(row));
    }
    if (table.empty())
        throw DataError{line, "no rows"};
    return table;
}

// A C string literal. Bytes outside printable ASCII become three-digit octal escapes, which
// cannot swallow a following character the way \x escapes can.
std::string literal(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string literal_or_null(const std::optional<std::string>& text) {
    return text ? literal(*text) : "nullptr";
}

void write_source(std::ostream& out, const std::vector<Manufacturer>& table, std::size_t row_count,
                  const std::string& source) {
    out << "// Generated by vehicle_table_gen from " << source << ". Do not edit.\n";
    out << "#include \"config/vehicle_table.h\"\n\n";
    out << "namespace {\n\n";
    for (std::size_t m = 0; m < table.size(); ++m) {
        out << "// " << table[m].name << "\n";
        out << "const VehicleRow kRows" << m << "[] = {\n";
        for (const Row& r : table[m].rows) {
            out << "    {" << literal(r.model) << ", " << literal(r.version) << ", "
                << literal_or_null(r.years) << ", " << r.level << ", " << r.second_level << ", "
                << r.car_number << ", " << literal_or_null(r.polish_note) << ", "
                << literal_or_null(r.english_note) << ", " << literal(r.third_text) << ", "
                << r.min_firmware << "u},\n";
        }
        out << "};\n\n";
    }
    out << "}  // namespace\n\n";
    out << "static_assert(kManufacturerCount == " << table.size()
        << ", \"the data file and config/vehicle_table.h disagree on the number of "
           "manufacturers\");\n";
    out << "static_assert(kVehicleRowCount == " << row_count
        << ", \"the data file and config/vehicle_table.h disagree on the number of rows\");\n\n";
    out << "const ManufacturerEntry VehicleTable[kManufacturerCount + 1] = {\n";
    for (std::size_t m = 0; m < table.size(); ++m) {
        out << "    {" << literal(table[m].name) << ", kRows" << m << ", " << table[m].rows.size()
            << "},\n";
    }
    out << "    {nullptr, nullptr, 0},\n";
    out << "};\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: vehicle_table_gen <vehicles.tsv> <out.cpp>\n";
        return 2;
    }
    const std::string source = argv[1];
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::cerr << source << ": cannot open\n";
        return 1;
    }
    std::vector<Manufacturer> table;
    try {
        table = read_table(in);
    } catch (const DataError& error) {
        std::cerr << source << ":" << error.line << ": " << error.what << "\n";
        return 1;
    }
    std::size_t rows = 0;
    for (const Manufacturer& m : table)
        rows += m.rows.size();

    // Write to memory first, so a failed write never leaves half a file for the build to use.
    std::ostringstream text;
    write_source(text, table, rows, source);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text.str();
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot write\n";
        std::remove(argv[2]);
        return 1;
    }
    std::cout << "vehicle table: " << table.size() << " manufacturers, " << rows << " rows\n";
    return 0;
}
