// The whole process in a comma-decimal locale for the length of a scope, as a Qt host puts
// itself after reading LANG. The test set-up generates de_DE.UTF-8 (scripts/install-deps.sh).
#pragma once

#include <clocale>
#include <string>

struct CommaLocale {
    std::string previous = std::setlocale(LC_ALL, nullptr);
    bool active = false;
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252"})
            if (std::setlocale(LC_ALL, name)) break;
        active = std::localeconv()->decimal_point[0] == ',';
    }
    ~CommaLocale() { std::setlocale(LC_ALL, previous.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;
};
