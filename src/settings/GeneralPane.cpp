#include "settings/FormKit.h"
#include "settings/LaunchAtLogin.h"
#include "settings/ServiceSections.h"
#include "settings/SettingsPanes.h"

#include "annotation/EditStore.h"
#include "app/SaveLocation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>

#include <pwd.h>
#include <unistd.h>

#include <vector>

// The context of this file's texts, declared where lupdate finds it.
struct GeneralPaneText {
    Q_DECLARE_TR_FUNCTIONS(GeneralPaneText)
};

namespace settings {

QString displayPath(const QString& folder, const QString& home) {
    QString base = home;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    if (base.isEmpty() || base == QLatin1String("/")) {
        return folder;
    }
    if (folder == base) {
        return QStringLiteral("~");
    }
    if (folder.startsWith(base + QLatin1Char('/'))) {
        return QLatin1Char('~') + folder.mid(base.size());
    }
    return folder;
}

QString homeFolder() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
        return QFile::decodeName(found->pw_dir);
    }
    return QDir::homePath();
}

namespace {

// The save folder when one is stored and still there.
std::optional<QString> knownFolder() {
    const std::optional<app::SaveLocation::Resolved> resolved = app::SaveLocation::resolvedFolder();
    if (!resolved || !QFileInfo(resolved->folder).isDir()) {
        return std::nullopt;
    }
    return resolved->folder;
}

class GeneralPane : public FormPane {
public:
    GeneralPane(app::Preferences& preferences, const ServiceSectionModels& services,
                QWidget* parent)
        : FormPane(preferences, parent), folder_(knownFolder()) {
        setObjectName(QStringLiteral("generalPane"));
        FormSection* basics = section();
        launchAtLogin_ = new QCheckBox(GeneralPaneText::tr("Launch Vexlin Capture at login"));
        launchAtLogin_->setObjectName(QStringLiteral("launchAtLogin"));
        launchAtLogin_->setChecked(isLaunchAtLoginEnabled());
        basics->addWidget(launchAtLogin_);
        connect(launchAtLogin_, &QCheckBox::toggled, this, [this](bool on) {
            // Only the user's change asks for a new state; the read-back
            // below is no change of its own.
            if (on != isLaunchAtLoginEnabled()) {
                setLaunchAtLogin(on);
            }
            const QSignalBlocker blocker(launchAtLogin_);
            launchAtLogin_->setChecked(isLaunchAtLoginEnabled());
        });
        basics->toggle(GeneralPaneText::tr("Play sounds"), setting::playSounds);

        FormSection* after = section(GeneralPaneText::tr("After capture"));
        after->toggle(GeneralPaneText::tr("Show Quick Access Overlay"), setting::showQuickAccess);
        after->toggle(GeneralPaneText::tr("Copy to clipboard"), setting::copyToClipboard);
        after->toggle(GeneralPaneText::tr("Save to the screenshots folder"), setting::saveToDisk)
            ->setObjectName(QStringLiteral("saveToDisk"));
        after->toggle(GeneralPaneText::tr("Open in the editor"), setting::openEditor);
        connect(&preferences, &app::Preferences::saveToDiskChanged, this,
                [this](bool on) { savingSwitched(on); });

        FormSection* saving = section(GeneralPaneText::tr("Saving"));
        path_ = new ElidedLabel;
        path_->setObjectName(QStringLiteral("folderPath"));
        styleAsSecondary(path_, false);
        choose_ = new QPushButton;
        choose_->setObjectName(QStringLiteral("chooseFolder"));
        connect(choose_, &QPushButton::clicked, this, [this] {
            if (app::SaveLocation::chooseFolder()) {
                folder_ = knownFolder();
                showFolder();
            }
        });
        auto* folderRow = new QWidget;
        auto* folderLayout = new QHBoxLayout(folderRow);
        folderLayout->setContentsMargins(0, 0, 0, 0);
        folderLayout->setSpacing(8);
        folderLayout->addWidget(path_, 1);
        folderLayout->addWidget(choose_);
        saving->addRow(GeneralPaneText::tr("Folder"), folderRow);
        //: Settings › General: opens the save folder in the file manager
        reveal_ = new QPushButton(GeneralPaneText::tr("Show in File Manager"));
        reveal_->setObjectName(QStringLiteral("showInFiles"));
        connect(reveal_, &QPushButton::clicked, this, [] {
            const app::Result<bool> opened = app::SaveLocation::openFolder();
            if (!opened && !app::SaveLocation::isUserCancellation(opened.error())) {
                QApplication::beep();
            }
        });
        saving->addWidget(hbox({reveal_}));
        saving->picker<app::ImageFormat>(GeneralPaneText::tr("File format"), setting::imageFormat,
                                         {{app::ImageFormat::png, QStringLiteral("PNG")},
                                          {app::ImageFormat::jpeg, QStringLiteral("JPEG")}},
                                         ChoicePicker::Style::segmented);
        showFolder();

        FormSection* editor = section(GeneralPaneText::tr("Editor"));
        editor->toggle(GeneralPaneText::tr("Close the editor after Copy or Save"),
                       setting::closeEditorAfterExport);
        editable_ = new QCheckBox(GeneralPaneText::tr("Keep annotations editable"));
        editable_->setObjectName(QStringLiteral("keepAnnotationsEditable"));
        editor->addWidget(editable_);
        follow<bool>(preferences, setting::keepAnnotationsEditable, editable_, [this](bool on) {
            const QSignalBlocker blocker(editable_);
            editable_->setChecked(on);
        });
        connect(editable_, &QCheckBox::toggled, this, [this](bool on) {
            if (on) {
                this->preferences().setKeepAnnotationsEditable(true);
                return;
            }
            // Off waits for the answer; the box shows on until then.
            const QSignalBlocker blocker(editable_);
            editable_->setChecked(true);
            confirmStopEditable();
        });
        editor->setFooter(GeneralPaneText::tr(
            "Saved captures open again with their annotations, so you can still "
            "change them. For this, Vexlin Capture keeps the original of each "
            "one on this computer. The saved files contain only the finished "
            "image."));

        addServiceSections(*this, services);
        finish();
    }

private:
    void savingSwitched(bool on) {
        if (!on || folder_) {
            return;
        }
        if (app::SaveLocation::chooseFolder()) {
            folder_ = knownFolder();
            showFolder();
        } else {
            preferences().setSaveToDisk(false);
        }
    }

    void showFolder() {
        if (folder_) {
            path_->setFullText(displayPath(*folder_, homeFolder()));
            choose_->setText(GeneralPaneText::tr("Change…"));
        } else {
            //: Settings: no save folder chosen yet
            path_->setFullText(GeneralPaneText::tr("Not chosen"));
            choose_->setText(GeneralPaneText::tr("Choose…"));
        }
        reveal_->setVisible(folder_.has_value());
    }

    void confirmStopEditable() {
        auto* box = new QMessageBox(this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("stopEditableAlert"));
        box->setIcon(QMessageBox::Warning);
        box->setText(GeneralPaneText::tr("Stop keeping annotations editable?"));
        box->setInformativeText(
            GeneralPaneText::tr("Vexlin Capture deletes the originals it kept. Captures saved "
                                "so far then open as plain images."));
        QPushButton* turnOff =
            box->addButton(GeneralPaneText::tr("Turn Off"), QMessageBox::DestructiveRole);
        turnOff->setObjectName(QStringLiteral("turnOff"));
        box->addButton(QMessageBox::Cancel)->setObjectName(QStringLiteral("cancel"));
        box->setDefaultButton(QMessageBox::Cancel);
        connect(box, &QMessageBox::buttonClicked, this, [this, turnOff](QAbstractButton* button) {
            if (button == turnOff) {
                preferences().setKeepAnnotationsEditable(false);
                annotation::EditStore::shared().removeAll();
            }
        });
        box->open();
    }

    std::optional<QString> folder_;
    QCheckBox* launchAtLogin_ = nullptr;
    ElidedLabel* path_ = nullptr;
    QPushButton* choose_ = nullptr;
    QPushButton* reveal_ = nullptr;
    QCheckBox* editable_ = nullptr;
};

} // namespace

QWidget* makeGeneralPane(app::Preferences& preferences, QWidget* parent) {
    return new GeneralPane(preferences, sharedServiceSectionModels(), parent);
}

QWidget* makeGeneralPane(app::Preferences& preferences, const ServiceSectionModels& services,
                         QWidget* parent) {
    return new GeneralPane(preferences, services, parent);
}

} // namespace settings
