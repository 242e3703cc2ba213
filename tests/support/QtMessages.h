// The messages Qt logs (its warnings, the program's log lines) while a test looks for them:
// kept instead of printed for as long as a QtMessages lives, the handler before it coming back
// when it goes, however the test ends.
#pragma once

#include <QString>
#include <QtGlobal>

#include <string>
#include <vector>

namespace testsupport {

class QtMessages {
public:
    QtMessages() : previous_(qInstallMessageHandler(keep)) { kept().clear(); }
    ~QtMessages() { qInstallMessageHandler(previous_); }
    QtMessages(const QtMessages&) = delete;
    QtMessages& operator=(const QtMessages&) = delete;

    const std::vector<std::string>& Lines() const { return kept(); }

private:
    static std::vector<std::string>& kept()
    {
        static std::vector<std::string> lines;
        return lines;
    }
    static void keep(QtMsgType, const QMessageLogContext&, const QString& Line) { kept().push_back(Line.toStdString()); }

    QtMessageHandler previous_;
};

}  // namespace testsupport
