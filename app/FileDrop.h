// Files dropped onto a window from a file manager: the widget that takes them (Control, or
// the owner form when there is none) accepts drags of local files (text/uri-list), and a
// drop hands their full paths and the point in that widget to OnFileDrop. The drop always
// reports a copy, so the file manager never deletes what it offered. Without a handler a
// drop is taken and has no effect; once Control is destroyed nothing is taken any more.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

class EFileDropError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TFileDrop : public QObject {
public:
    using TFileDropEvent = std::function<void(TFileDrop* Sender, int Num,
                                              const std::vector<std::string>& Files, int X, int Y)>;

    // Owner is the form that takes the drops while no Control is set.
    explicit TFileDrop(QObject* Owner);
    ~TFileDrop() override;

    bool Accept() const { return FAccept; }
    void SetAccept(bool Value);
    QWidget* Control() const { return FControl; }
    // Hooks the new target at once; throws EFileDropError ("Invalidate Window Handle in
    // FileDrop") when there is no control and the owner is no form.
    void SetControl(QWidget* Value);
    // Hooks the target once the owner is built (the form's load).
    void Loaded();
    // The widget that takes the drops now (null while unhooked).
    QWidget* Target() const { return FTarget; }

    TFileDropEvent OnFileDrop;

    // The local files a drag carries, as full paths in order; other URLs are left out.
    static std::vector<std::string> LocalFiles(const QMimeData* Data);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Hook();
    void Unhook();

    bool FAccept = true;
    QPointer<QWidget> FControl;
    QPointer<QWidget> FTarget;
    QMetaObject::Connection FControlGone;
};
