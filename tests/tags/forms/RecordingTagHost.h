// A recording host for the tag dialogs: it stands for the main window and the engine,
// answers the questions from a queue and records the engine and monitor calls in order.
#pragma once

#include "tags/forms/TagDialogHost.h"

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct RecordingHost : TTagDialogHost {
    std::string file, status = "stop";
    int gauge = 0;
    std::vector<std::string> calls;     // engine and monitor calls in order
    std::vector<std::string> messages;  // caption | text | buttons of every question
    std::deque<int> answers;            // the next answers; 6 when none is left
    std::array<std::string, 6> row{"Row title", "", "", "", "", ""};
    bool hasRow = true;
    std::string lblMusic = "Row title";
    std::string folder;

    std::string EngineFileName() const override { return file; }
    std::string EnginePlayStatus() const override { return status; }
    int Gauge1Percent() const override { return gauge; }
    std::function<void()> whileClosing;  // what the user does while the engine lets events run
    void EngineCloseFile() override
    {
        calls.push_back("close");
        if (whileClosing)
            whileClosing();
    }
    void EngineReopen(const std::string& Path, int Percent, const std::string& Status) override
    {
        calls.push_back("reopen " + Path + " " + std::to_string(Percent) + " " + Status);
    }
    bool ListHasSelection(int List) const override { return hasRow && (List == 1 || List == 2); }
    std::string ListSelectedText(int List, int SubItem) const override
    {
        return ListHasSelection(List) ? row[size_t(SubItem - 1)] : std::string();
    }
    void SetListSelectedTexts(int List, const std::array<std::string, 6>& Texts) override
    {
        if (ListHasSelection(List))
            row = Texts;
    }
    std::string LblMusicCaption() const override { return lblMusic; }
    void SetLblMusicCaption(const std::string& Text) override { lblMusic = Text; }
    std::string Mp3Path() const override { return folder; }
    int MsgBoxEx(QWidget*, const std::string& Caption, const std::string& Text, int, const std::string& Buttons,
                 const std::string&) override
    {
        messages.push_back(Caption + "|" + Text + "|" + Buttons);
        const int a = answers.empty() ? 6 : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return a;
    }
    void SetDirMonActive(bool On) override { calls.push_back(On ? "monitor on" : "monitor off"); }
    QWidget* MainWindow() const override { return nullptr; }

    // The music list for the bulk change: each row's sub-items 0..7 (No. .. full path).
    std::string category;
    std::vector<std::array<std::string, 8>> music;
    std::vector<int> selected;  // row indexes, in list order
    int refreshes = 0;
    std::string CategoryRootText() const override { return category; }
    std::vector<std::pair<int, std::string>> MusicListSelection() const override
    {
        std::vector<std::pair<int, std::string>> rows;
        for (int i : selected)
            rows.emplace_back(i, music[size_t(i)][7]);
        return rows;
    }
    std::string MusicListRowPath(int Index) const override
    {
        return Index >= 0 && size_t(Index) < music.size() ? music[size_t(Index)][7] : std::string();
    }
    void SetMusicListRowText(int Index, int SubItem, const std::string& Text) override
    {
        music.at(size_t(Index)).at(size_t(SubItem)) = Text;
    }
    void RefreshMusicList() override { ++refreshes; }
};

