#include "cli/cli_text.h"

#include <array>

#include "app/language.h"

namespace {

using CliTable = std::array<const char*, kCliTextCount>;

// One entry per line, in the order of CliText, so that each reads against its English original.
// clang-format off
const CliTable kEnglishTexts = {
    "Try '%s --help'.",
    "Unknown option: %s",
    "The option %s needs a value.",
    "--wait takes whole seconds from 0 to 3600, not: %s",
    "Unknown language code: %s (en, pl, cs or sk)",
    "No command given.",
    "Unknown command: %s",
    "The command %s needs a file name.",
    "Unexpected argument: %s",
    "The option %s does not go with the command %s.",
    "The programmer window (%s) is running: close it first, the device serves one program at a time.",
    "Another copy of this tool is running: the device serves one program at a time.",
    "The device waits in its bootloader: flash a firmware with the command flash FILE.bin first.",
    "The device did not answer the greeting.",
    "The device did not confirm its firmware version.",
    "%s holds no configuration lines.",
    "The command must be two hex digits: %s",
    "The data is longer than one frame carries.",
    "The device sent no reply with code 01.",
    "The device is of type %s; this program works with type 718 only.",
    "The command %s needs a history entry number or --last.",
    "Not a history entry number: %s",
    "--count takes a number of devices from 1 to 100000, not: %s",
    "The option %s goes with --remote CODE only.",
    "Not a session code: %s",
    "Cannot reach the remote-access server at %s: %s",
    "The remote-access server refused the code: %s",
    "The remote-access server at %s did not answer as expected.",
    "The remote session ended: the customer's program or the server closed it.",
    "The customer's program sent bytes that are no answer; the session was ended.",
    "The customer's program did not answer in time.",
    "The firmware image reached the customer's program damaged; nothing was flashed.",
};

const CliTable kPolishTexts = {
    "Spróbuj '%s --help'.",
    "Nieznana opcja: %s",
    "Opcja %s wymaga wartości.",
    "--wait przyjmuje pełne sekundy od 0 do 3600, a nie: %s",
    "Nieznany kod języka: %s (en, pl, cs lub sk)",
    "Nie podano komendy.",
    "Nieznana komenda: %s",
    "Komenda %s wymaga nazwy pliku.",
    "Nieoczekiwany argument: %s",
    "Opcja %s nie pasuje do komendy %s.",
    "Okno programatora (%s) jest uruchomione: najpierw je zamknij, urządzenie obsługuje jeden program naraz.",
    "Inna kopia tego narzędzia jest uruchomiona: urządzenie obsługuje jeden program naraz.",
    "Urządzenie czeka w bootloaderze: najpierw wgraj oprogramowanie komendą flash PLIK.bin.",
    "Urządzenie nie odpowiedziało na powitanie.",
    "Urządzenie nie potwierdziło wersji oprogramowania.",
    "%s nie zawiera linii konfiguracji.",
    "Komenda musi składać się z dwóch cyfr szesnastkowych: %s",
    "Dane są dłuższe niż mieści jedna ramka.",
    "Urządzenie nie wysłało odpowiedzi z kodem 01.",
    "Urządzenie jest typu %s; ten program obsługuje tylko typ 718.",
    "Komenda %s wymaga numeru wpisu historii albo --last.",
    "To nie jest numer wpisu historii: %s",
    "--count przyjmuje liczbę urządzeń od 1 do 100000, a nie: %s",
    "Opcja %s działa tylko razem z --remote KOD.",
    "To nie jest kod sesji: %s",
    "Nie można połączyć się z serwerem zdalnego dostępu pod %s: %s",
    "Serwer zdalnego dostępu odrzucił kod: %s",
    "Serwer zdalnego dostępu pod %s nie odpowiedział zgodnie z oczekiwaniem.",
    "Sesja zdalna zakończyła się: program klienta lub serwer ją zamknął.",
    "Program klienta wysłał bajty, które nie są odpowiedzią; sesję zakończono.",
    "Program klienta nie odpowiedział na czas.",
    "Obraz oprogramowania dotarł do programu klienta uszkodzony; nic nie zostało wgrane.",
};

const CliTable kCzechTexts = {
    "Zkuste '%s --help'.",
    "Neznámá volba: %s",
    "Volba %s vyžaduje hodnotu.",
    "--wait přijímá celé sekundy od 0 do 3600, ne: %s",
    "Neznámý kód jazyka: %s (en, pl, cs nebo sk)",
    "Nebyl zadán žádný příkaz.",
    "Neznámý příkaz: %s",
    "Příkaz %s vyžaduje název souboru.",
    "Neočekávaný argument: %s",
    "Volba %s nepatří k příkazu %s.",
    "Okno programátoru (%s) je spuštěno: nejprve ho zavřete, zařízení obsluhuje jen jeden program.",
    "Jiná kopie tohoto nástroje je spuštěna: zařízení obsluhuje jen jeden program.",
    "Zařízení čeká v zavaděči: nejprve nahrajte firmware příkazem flash SOUBOR.bin.",
    "Zařízení neodpovědělo na pozdrav.",
    "Zařízení nepotvrdilo verzi firmwaru.",
    "%s neobsahuje žádné řádky konfigurace.",
    "Příkaz musí být dvě šestnáctkové číslice: %s",
    "Data jsou delší, než unese jeden rámec.",
    "Zařízení neposlalo odpověď s kódem 01.",
    "Zařízení je typu %s; tento program podporuje jen typ 718.",
    "Příkaz %s vyžaduje číslo záznamu historie nebo --last.",
    "Toto není číslo záznamu historie: %s",
    "--count přijímá počet zařízení od 1 do 100000, ne: %s",
    "Volba %s patří jen k --remote KÓD.",
    "Toto není kód relace: %s",
    "Nelze se spojit se serverem vzdáleného přístupu na %s: %s",
    "Server vzdáleného přístupu odmítl kód: %s",
    "Server vzdáleného přístupu na %s neodpověděl podle očekávání.",
    "Vzdálená relace skončila: program zákazníka nebo server ji ukončil.",
    "Program zákazníka poslal bajty, které nejsou odpovědí; relace byla ukončena.",
    "Program zákazníka neodpověděl včas.",
    "Obraz firmwaru dorazil do programu zákazníka poškozený; nic nebylo nahráno.",
};

const CliTable kSlovakTexts = {
    "Skúste '%s --help'.",
    "Neznáma voľba: %s",
    "Voľba %s vyžaduje hodnotu.",
    "--wait prijíma celé sekundy od 0 do 3600, nie: %s",
    "Neznámy kód jazyka: %s (en, pl, cs alebo sk)",
    "Nebol zadaný žiadny príkaz.",
    "Neznámy príkaz: %s",
    "Príkaz %s vyžaduje názov súboru.",
    "Neočakávaný argument: %s",
    "Voľba %s nepatrí k príkazu %s.",
    "Okno programátora (%s) je spustené: najprv ho zatvorte, zariadenie obsluhuje len jeden program.",
    "Iná kópia tohto nástroja je spustená: zariadenie obsluhuje len jeden program.",
    "Zariadenie čaká v zavádzači: najprv nahrajte firmvér príkazom flash SÚBOR.bin.",
    "Zariadenie neodpovedalo na pozdrav.",
    "Zariadenie nepotvrdilo verziu firmvéru.",
    "%s neobsahuje žiadne riadky konfigurácie.",
    "Príkaz musia byť dve šestnástkové číslice: %s",
    "Dáta sú dlhšie, než unesie jeden rámec.",
    "Zariadenie neposlalo odpoveď s kódom 01.",
    "Zariadenie je typu %s; tento program podporuje len typ 718.",
    "Príkaz %s vyžaduje číslo záznamu histórie alebo --last.",
    "Toto nie je číslo záznamu histórie: %s",
    "--count prijíma počet zariadení od 1 do 100000, nie: %s",
    "Voľba %s patrí len k --remote KÓD.",
    "Toto nie je kód relácie: %s",
    "Nedá sa spojiť so serverom vzdialeného prístupu na %s: %s",
    "Server vzdialeného prístupu odmietol kód: %s",
    "Server vzdialeného prístupu na %s neodpovedal podľa očakávania.",
    "Vzdialená relácia skončila: program zákazníka alebo server ju ukončil.",
    "Program zákazníka poslal bajty, ktoré nie sú odpoveďou; relácia bola ukončená.",
    "Program zákazníka neodpovedal včas.",
    "Obraz firmvéru dorazil do programu zákazníka poškodený; nič nebolo nahrané.",
};
// clang-format on

const CliTable* const kTables[kLanguageCount] = {&kEnglishTexts, &kPolishTexts, &kCzechTexts,
                                                 &kSlovakTexts};

}  // namespace

const char* cli_text_in(int language, CliText entry) {
    if (language < 0 || language >= kLanguageCount)
        language = kEnglish;
    return (*kTables[language])[static_cast<int>(entry)];
}
