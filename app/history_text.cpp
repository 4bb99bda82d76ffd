#include "app/history_text.h"

#include <array>

#include "app/language.h"

namespace {

using HistoryTable = std::array<const char*, kHistoryTextCount>;

// One entry per line, in the order of HistoryText, so that each reads against its English
// original.
// clang-format off
const HistoryTable kEnglishTexts = {
    "Configuration history...",
    "Configuration history",
    "Time",
    "Vehicle",
    "CAN level",
    "Firmware",
    "Load into page",
    "Save as file",
    "Close",
    "No configuration has been overwritten yet.",
    "The configuration the device holds could not be kept in the history (%s): nothing was written.",
    "Skipped an unreadable history entry: %s",
    "There is no history entry number %s.",
    "Waiting for a device...",
    "Unplug the device and connect the next one.",
    "Devices: %d, passed: %d, failed: %d",
};

const HistoryTable kPolishTexts = {
    "Historia konfiguracji...",
    "Historia konfiguracji",
    "Czas",
    "Pojazd",
    "Poziom CAN",
    "Oprogramowanie",
    "Wczytaj do strony",
    "Zapisz jako plik",
    "Zamknij",
    "Żadna konfiguracja nie została jeszcze nadpisana.",
    "Nie udało się zachować w historii konfiguracji z urządzenia (%s): niczego nie zapisano.",
    "Pominięto nieczytelny wpis historii: %s",
    "Nie ma wpisu historii o numerze %s.",
    "Czekam na urządzenie...",
    "Odłącz urządzenie i podłącz następne.",
    "Urządzenia: %d, udane: %d, nieudane: %d",
};

const HistoryTable kCzechTexts = {
    "Historie konfigurace...",
    "Historie konfigurace",
    "Čas",
    "Vozidlo",
    "Úroveň CAN",
    "Firmware",
    "Načíst do stránky",
    "Uložit jako soubor",
    "Zavřít",
    "Zatím nebyla přepsána žádná konfigurace.",
    "Konfiguraci ze zařízení se nepodařilo uložit do historie (%s): nic nebylo zapsáno.",
    "Nečitelný záznam historie byl přeskočen: %s",
    "Záznam historie číslo %s neexistuje.",
    "Čekám na zařízení...",
    "Odpojte zařízení a připojte další.",
    "Zařízení: %d, úspěšně: %d, neúspěšně: %d",
};

const HistoryTable kSlovakTexts = {
    "História konfigurácie...",
    "História konfigurácie",
    "Čas",
    "Vozidlo",
    "Úroveň CAN",
    "Firmvér",
    "Načítať do stránky",
    "Uložiť ako súbor",
    "Zavrieť",
    "Zatiaľ nebola prepísaná žiadna konfigurácia.",
    "Konfiguráciu zo zariadenia sa nepodarilo uložiť do histórie (%s): nič nebolo zapísané.",
    "Nečitateľný záznam histórie bol preskočený: %s",
    "Záznam histórie číslo %s neexistuje.",
    "Čakám na zariadenie...",
    "Odpojte zariadenie a pripojte ďalšie.",
    "Zariadenia: %d, úspešne: %d, neúspešne: %d",
};
// clang-format on

const HistoryTable* const kTables[kLanguageCount] = {&kEnglishTexts, &kPolishTexts, &kCzechTexts,
                                                     &kSlovakTexts};

}  // namespace

const char* history_text_in(int language, HistoryText entry) {
    if (language < 0 || language >= kLanguageCount)
        language = kEnglish;
    return (*kTables[language])[static_cast<int>(entry)];
}
