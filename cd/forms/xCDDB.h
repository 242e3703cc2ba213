// `TfrmCDDB`, the CDDB look-up window for the disc in the drive: it asks the CDDB server for
// the disc of `frmCD`, lets the user choose when several entries match, reads the chosen one,
// stores it in the system CD database and refreshes the CD player window. A no-match answer,
// a read that came back incomplete, or any failure of the first server (no connection, a
// time-out, an error code, an answer that does not parse) tries the fallback server once; the
// status bar names the server being asked, and when both fail the window names both failures.
// The window starts when it is shown and closes itself half a second after the work ends.
//
// The flow is shared with the look-up for a music file (cd/xCDDB_MP3.h): that window gives
// another query address, shorter pauses, another fallback rule and its own storing of a read
// entry, through the virtual steps and `TCddbFlow` below.
//
// A close (Escape, the cancel button, the window's close box) while a request or a pause runs
// ends them at once; the window closes when the running handler has returned, never under it.
// Client failures (no connection, unknown host, time-out) show the status texts and, when the
// fallback server fails as well, a message box naming both servers' failures; nothing is
// stored then.
//
// User-interface thread only. The requests wait in local event loops (net::HttpClient).
#pragma once

#include "cd/Cddb.h"
#include "controls/gradient/RbButton.h"
#include "controls/std/StringGrid.h"
#include "platform/forms/Form.h"
#include "platform/forms/Timer.h"
#include "platform/net/HttpClient.h"
#include "util/xMessageBox.h"

#include <optional>
#include <string>

class QEventLoop;
class QFrame;
class QLabel;
class QStatusBar;
class QTextEdit;
class TfrmCD;

// What differs between the look-up windows.
struct TCddbFlow {
    int ErrorPauseMs = 1000;     // after an error answer, before closing
    int FallbackPauseMs = 500;   // before asking the fallback server
    bool MissingTitlesFallBack = true;  // a read with missing track titles asks the fallback too
};

class TfrmCDDB : public forms::TForm {
public:
    // Cd is the CD player window whose disc is looked up (the disc window only).
    explicit TfrmCDDB(QWidget* parent = nullptr, TfrmCD* Cd = nullptr);
    ~TfrmCDDB() override;

    // Tests shorten every pause to this percentage of its length.
    static int PausePercent;
    // How the windows' questions and notices are shown; tests answer through here.
    static TMsgBoxFn MsgBoxHook;

    QStatusBar* StatusBar1;
    QLabel* lblServer;  // at the status bar's right: the server being asked
    QLabel* lblAccess;
    QTextEdit* memCDDB;
    QLabel* lblMessage;
    QTextEdit* memBody;
    QFrame* pnlSelect;
    controls::TStringGrid* sgdCDDB;
    controls::TRbButton *spdOK, *spdCan;
    forms::TTimer timClose;
    net::HttpClient NMHTTP1;

    // The current server and whether a read has handed over to the fallback server.
    const std::string& Host() const { return host_; }
    bool FallbackTried() const { return fallbackTried_; }
    // The status bar's text.
    std::string Status() const;

    // Handlers.
    void FormKeyDown(int& Key);
    void timCloseTimer();
    void spdOKClick();
    void spdCanClick();
    void CddbQuery(bool Fallback);
    void CddbRead(const std::string& Category, const std::string& DiscId, bool Fallback);

    // The success and failure texts by command kind (empty for unknown kinds).
    static std::string SuccessText(int Kind);
    static std::string FailureText(int Kind);

protected:
    // The two look-up windows' own steps.
    virtual std::string queryUrl();
    // Stores a read entry; true when it came back incomplete.
    virtual bool storeEntry(const std::string& Text, const std::string& Category);
    virtual void placeWindow();

    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

    TCddbFlow flow_;
    std::string host_;
    TfrmCD* cd_;

private:
    void createControls();
    void setupGrid();
    void connectEvents();
    void drawCell(int Col, int Row, const gfx::TRect& Rect);
    int cddbGet(const std::string& Url, std::string& Text);
    void answerLine(const std::string& Line);
    // The current server failed, with Line in memCDDB: the first server hands over to the
    // fallback once; otherwise the failures are shown and the window closes.
    void failed(const std::string& Line);
    void showFailures(const std::string& Line);
    void notice(const std::string& Text);
    void closeSoon();
    // Waits Ms (scaled for tests); false when a close came meanwhile.
    bool pause(int Ms);
    void toFallback();
    void start();
    void closeQuery(bool& CanClose);
    bool closing() const { return closeWanted_; }

    // How a server failed: its answer line, and the client's error when no answer came.
    struct Failure {
        std::string Host, Line, Error;
    };
    bool fallbackTried_ = false;
    bool onFallback_ = false;  // host_ is the fallback server
    std::string lastError_;    // the client's error of the last request (empty when an answer came)
    std::optional<Failure> firstFailure_;  // the first server's, when it handed over
    bool started_ = false;
    int busy_ = 0;  // handlers of the flow running
    bool closeWanted_ = false;
    QEventLoop* pauseLoop_ = nullptr;
};

// Opens the CDDB window for the disc in Cd's drive, modally, and frees it afterwards.
void ShowCddbWindow(TfrmCD* Cd);
