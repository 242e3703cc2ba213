#include "util/DirDialog.h"

#include "platform/forms/ScreenFit.h"

#include <stdexcept>

#include <QAbstractButton>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace {

constexpr std::uint32_t BIF_NEWDIALOGSTYLE = 0x40;
constexpr std::uint32_t BIF_EDITBOX_VALIDATE = 0x30;

QString FromUtf8(const std::string& s)
{
    return QString::fromStdString(s);
}

bool IsFolder(const std::string& Path)
{
    return !Path.empty() && QFileInfo(FromUtf8(Path)).isDir();
}

// An existing folder's location, or the fallback when the platform names none that exists.
std::string ExistingLocation(QStandardPaths::StandardLocation Location, const std::string& Fallback)
{
    const QString path = QStandardPaths::writableLocation(Location);
    return !path.isEmpty() && QFileInfo(path).isDir() ? path.toStdString() : Fallback;
}

bool IsWithin(const std::string& Path, const std::string& Root)
{
    if (Root == "/" || Path == Root)
        return true;
    return Path.starts_with(Root + "/");
}

std::string CleanFolder(const QString& Path)
{
    return Path.isEmpty() ? std::string() : QDir::cleanPath(Path).toStdString();
}

// Handlers run from inside the dialog's event loop, which no exception may cross.
template <typename F>
void CallHandler(F&& Call)
{
    try {
        Call();
    } catch (const std::exception& e) {
        qCritical("%s", e.what());
    } catch (...) {
        qCritical("TDirDialog: an event handler failed");
    }
}

// Qt's folder browser with the chooser's rules for OK: the folder must exist, lie within the
// root and not have been vetoed by OnSelectDirectory; a typed name that is no folder goes
// to OnInvalidDirectory (edit-box style), which may close the dialog without a result.
class TDirBrowser : public QFileDialog {
public:
    TDirBrowser(TDirDialog& Chooser, QWidget* Parent)
        : QFileDialog(Parent), Chooser(Chooser), Root(Chooser.RootFolder())
    {
        setWindowFlags(Qt::Widget);
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::ShowDirsOnly);
        setOption(QFileDialog::ReadOnly, !(Chooser.Options() & ddoNewStyle));
        setFileMode(QFileDialog::Directory);
        if (Root != "/")
            setSidebarUrls({QUrl::fromLocalFile(FromUtf8(Root))});
        // Folders only: no file types to pick.
        for (const char* name : {"fileTypeCombo", "fileTypeLabel"})
            if (QWidget* w = findChild<QWidget*>(name))
                w->hide();
        FindOkButton();
        if (auto* edit = findChild<QLineEdit*>("fileNameEdit"); edit && edit->completer()) {
            Completions = edit->completer()->popup();
            Completions->installEventFilter(this);
        }
        // The model follows every change of the shown folder, typed, clicked or set by code.
        if (auto* model = findChild<QFileSystemModel*>())
            FollowsModel = connect(model, &QFileSystemModel::rootPathChanged, this, &TDirBrowser::Entered);
        if (!FollowsModel)
            connect(this, &QFileDialog::directoryEntered, this, &TDirBrowser::Entered);
        connect(this, &QFileDialog::currentChanged, this, &TDirBrowser::Vet);
    }

    std::string Result;

    // Asks OnSelectDirectory about the folder the dialog opened at, unless the model
    // already told of it.
    void VetStart()
    {
        if (!FollowsModel)
            Vet(QString());
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        const std::string chosen = files.isEmpty() ? std::string() : CleanFolder(files.first());
        if (!IsFolder(chosen)) {
            Invalid(chosen);
            return;
        }
        if (!OkEnabled || !IsWithin(chosen, Root))
            return;
        Result = chosen;
        QDialog::accept();
    }

private:
    void Entered(const QString& Dir)
    {
        if (!IsWithin(CleanFolder(Dir), Root)) {
            setDirectory(FromUtf8(Root));
            return;
        }
        Vet(QString());
    }

    // The selection is the folder picked in the list, or the one shown when none is.
    void Vet(const QString& Current)
    {
        if (!Chooser.OnSelectDirectory)
            return;
        const QString folder = !Current.isEmpty() && QFileInfo(Current).isDir()
                                   ? Current
                                   : directory().absolutePath();
        bool ok = true;
        CallHandler([&] { Chooser.OnSelectDirectory(CleanFolder(folder), ok); });
        OkEnabled = ok;
        if (OkButton)
            OkButton->setEnabled(OkEnabled);
    }

    // The browser enables its OK button by its own rules whenever it sees fit; a veto of
    // OnSelectDirectory outranks them.
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched == Completions && Event->type() == QEvent::MouseButtonPress && ClickPastCompletions(*static_cast<QMouseEvent*>(Event)))
            return true;
        if (Watched == OkButton && Event->type() == QEvent::EnabledChange && !OkEnabled &&
            OkButton->isEnabled())
            OkButton->setEnabled(false);
        return QFileDialog::eventFilter(Watched, Event);
    }

    // A click beside the completions of a typed path closes them, and the completer keeps the
    // click for itself: the user's first click on a button (選択 above all) did nothing. The
    // button is clicked once the completions are gone.
    bool ClickPastCompletions(const QMouseEvent& Press)
    {
        if (Completions->rect().contains(Press.position().toPoint()))
            return false;
        Completions->hide();
        QWidget* top = window();
        auto* button = qobject_cast<QAbstractButton*>(top->childAt(top->mapFromGlobal(Press.globalPosition().toPoint())));
        if (button && Press.button() == Qt::LeftButton)
            QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
        return true;
    }

    void FindOkButton()
    {
        if (auto* box = findChild<QDialogButtonBox*>())
            for (QAbstractButton* b : box->buttons())
                if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
                    OkButton = b;
        if (OkButton)
            OkButton->installEventFilter(this);
    }

    void Invalid(const std::string& Chosen)
    {
        if (!(Chooser.Options() & ddoEditBox) || !Chooser.OnInvalidDirectory)
            return;
        auto* edit = findChild<QLineEdit*>("fileNameEdit");
        const std::string typed = edit && !edit->text().isEmpty() ? edit->text().toStdString() : Chosen;
        bool canClose = false;
        CallHandler([&] { Chooser.OnInvalidDirectory(typed, canClose); });
        if (canClose)
            reject();
    }

    TDirDialog& Chooser;
    const std::string Root;
    bool OkEnabled = true;
    bool FollowsModel = false;
    QAbstractButton* OkButton = nullptr;
    QWidget* Completions = nullptr;   // the name box's completion list
};

// The chooser's window: placed where the owner asked or centred over it, and then fitted
// inside its screen's work area.
using TDirWindow = forms::TFittedOnShow<QDialog>;

QString PromptText(std::string Prompt)
{
    QString text = FromUtf8(Prompt);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

std::string NormalizeDirSelection(const std::string& Selection)
{
    std::string s = Selection;
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

TDirDialog::TDirDialog(QWidget* Owner) : QObject(Owner), FOwner(Owner)
{
    if (!Owner)
        throw std::invalid_argument("This component should be placed on TWinControl descendant.");
    SetOptions(ddoNewStyle);
}

void TDirDialog::SetSelection(const std::string& Value)
{
    FSelection = Value;
    if (!Value.empty() && Value.back() != '/' && IsFolder(Value))
        FSelection += '/';
}

void TDirDialog::SetOptions(TDirDialogOptions Value)
{
    FOptions = Value;
    FBrowseFlags = ((Value & ddoNewStyle) ? BIF_NEWDIALOGSTYLE : 0) |
                   ((Value & ddoEditBox) ? BIF_EDITBOX_VALIDATE : 0);
}

std::string TDirDialog::RootFolder() const
{
    if (InitialDirectory == idPersonal)
        return CleanFolder(FromUtf8(ExistingLocation(QStandardPaths::DocumentsLocation,
                                                     QDir::homePath().toStdString())));
    return "/";
}

std::string TDirDialog::StartFolder() const
{
    switch (InitialDirectory) {
    case idDesktop:
        return ExistingLocation(QStandardPaths::DesktopLocation, QDir::homePath().toStdString());
    case idDrives:
        return "/";
    case idPersonal:
        break;
    }
    return RootFolder();
}

bool TDirDialog::Execute()
{
    std::string prompt = Promt;
    if (BeforeExecute)
        BeforeExecute(prompt);

    TDirWindow window(FOwner);
    if (!Caption.empty())
        window.setWindowTitle(FromUtf8(Caption));
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(PromptText(prompt), &window);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* browser = new TDirBrowser(*this, &window);
    layout->addWidget(browser);
    QObject::connect(browser, &QDialog::finished, &window, &QDialog::done);

    const std::string selection = NormalizeDirSelection(FSelection);
    const bool preselect = IsFolder(selection) && IsWithin(CleanFolder(FromUtf8(selection)), RootFolder());
    browser->setDirectory(FromUtf8(preselect ? selection : StartFolder()));
    browser->VetStart();

    // Wide enough that the folder's path reads whole in the browser's location box.
    window.resize(window.sizeHint().expandedTo(QSize(600, 420)));
    if (OnShowDialog) {
        const QScreen* screen = FOwner->screen() ? FOwner->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen->geometry();
        QPoint pt(area.x() + (area.width() - window.width()) / 2,
                  area.y() + (area.height() - window.height()) / 3);
        OnShowDialog(pt);
        window.move(pt);
    }
    if (window.exec() != QDialog::Accepted || browser->Result.empty())
        return false;
    Directory = browser->Result;
    return true;
}
