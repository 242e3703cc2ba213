#include "SettingsFixture.h"

#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

using namespace testsupport;

SettingsFixture::SettingsFixture() : base(dir.file("Tambourelle")), savedBase(IniBase)
{
    IniBase = base;
}

SettingsFixture::~SettingsFixture()
{
    IniBase = savedBase;
}

bool ParsedIni::has(const std::string& section) const
{
    for (const auto& s : sections)
        if (s.first == section)
            return true;
    return false;
}

const IniKeys& ParsedIni::keys(const std::string& section) const
{
    static const IniKeys none;
    for (const auto& s : sections)
        if (s.first == section)
            return s.second;
    ADD_FAILURE() << "configparser found no section [" << section << "]";
    return none;
}

ParsedIni readWithConfigParser(const std::string& path)
{
    static const char* script = R"(
import configparser, json, sys
p = configparser.ConfigParser(interpolation=None, strict=True)
p.optionxform = str
with open(sys.argv[1], encoding='utf-8') as f:
    p.read_file(f)
json.dump([[s, [[k, v] for k, v in p.items(s, raw=True)]] for s in p.sections()],
          sys.stdout, ensure_ascii=False)
)";
    ParsedIni parsed;
    CommandResult r = runCommand(python3(), {"-c", script, path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const QJsonArray sections = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
    for (const auto& s : sections) {
        IniKeys keys;
        for (const auto& kv : s.toArray()[1].toArray())
            keys.emplace_back(kv.toArray()[0].toString().toStdString(), kv.toArray()[1].toString().toStdString());
        parsed.sections.emplace_back(s.toArray()[0].toString().toStdString(), std::move(keys));
    }
    return parsed;
}
