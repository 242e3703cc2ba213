// A scratch settings file for the app tests: points IniBase at a temporary folder for the
// test's lifetime, and reads the file back with python3's configparser as an independent
// reader.
#pragma once

#include "support/TestSupport.h"

#include <string>
#include <utility>
#include <vector>

struct SettingsFixture {
    SettingsFixture();
    ~SettingsFixture();
    SettingsFixture(const SettingsFixture&) = delete;
    SettingsFixture& operator=(const SettingsFixture&) = delete;

    std::string path() const { return base + ".ini"; }

    testsupport::TempDir dir;
    std::string base;
    std::string savedBase;
};

using IniKeys = std::vector<std::pair<std::string, std::string>>;  // key, value in file order

struct ParsedIni {
    std::vector<std::pair<std::string, IniKeys>> sections;  // in file order
    bool has(const std::string& section) const;
    const IniKeys& keys(const std::string& section) const;  // fails the test when missing
};

// The settings file as configparser (strict, no interpolation, keys as written) reads it.
ParsedIni readWithConfigParser(const std::string& path);
