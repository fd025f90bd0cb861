// Opening and revealing with the desktop's programs, with the programs
// replaced: every failure ends in an alert that names the folder or file.
#include "app/Workspace.h"
#include "app/FilePanels.h"

#include <QCoreApplication>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace app;

namespace {

class AlertPanels : public FilePanels {
public:
    std::vector<QString> alerts;
    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(std::nullopt); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const FileError& error) override {
        alerts.push_back(error.description());
    }
};

// A desktop whose file manager and launcher answer as the test says.
class WorkspaceTest : public testing::Test {
protected:
    WorkspaceTest()
        : services_({[this](const QUrl& url) {
                         opened.push_back(url.toLocalFile());
                         return launcherWorks;
                     },
                     [this](const QString& file, std::function<void(bool)> done) {
                         revealed.push_back(file);
                         done(fileManagerWorks);
                     }})
        , usePanels_(panels) {}

    bool launcherWorks = true;
    bool fileManagerWorks = true;
    std::vector<QString> opened;
    std::vector<QString> revealed;
    AlertPanels panels;

private:
    Workspace::ScopedServices services_;
    ScopedFilePanels usePanels_;
};

TEST_F(WorkspaceTest, RevealFallsBackToTheFolderAndAlertsWhenThatFailsToo) {
    struct Case {
        bool fileManager;
        bool launcher;
        std::vector<QString> opened;
        bool shown;
        bool alert;
    };
    const Case cases[] = {
        {true, true, {}, true, false},
        {true, false, {}, true, false},
        {false, true, {"/home/ann/Shots"}, true, false},
        {false, false, {"/home/ann/Shots"}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "file manager " << c.fileManager << ", launcher " << c.launcher);
        fileManagerWorks = c.fileManager;
        launcherWorks = c.launcher;
        opened.clear();
        revealed.clear();
        panels.alerts.clear();
        std::optional<bool> shown;
        Workspace::reveal("/home/ann/Shots/Vexlin Capture 1.png", nullptr,
                          [&](bool result) { shown = result; });
        EXPECT_EQ(revealed, std::vector<QString>{"/home/ann/Shots/Vexlin Capture 1.png"});
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(shown, c.shown);
        ASSERT_EQ(panels.alerts.size(), c.alert ? 1u : 0u);
        if (c.alert) {
            EXPECT_TRUE(panels.alerts[0].contains("/home/ann/Shots"))
                << panels.alerts[0].toStdString();
            EXPECT_TRUE(panels.alerts[0].contains("folder")) << panels.alerts[0].toStdString();
        }
    }
}

TEST_F(WorkspaceTest, OpeningAFolderOrFileWithoutAProgramAlertsWithItsPath) {
    EXPECT_TRUE(Workspace::openFolder("/home/ann/Shots"));
    EXPECT_TRUE(Workspace::openFile("/home/ann/Shots/a.png"));
    EXPECT_TRUE(panels.alerts.empty());

    launcherWorks = false;
    EXPECT_FALSE(Workspace::openFolder("/home/ann/Shots"));
    EXPECT_FALSE(Workspace::openFile("/home/ann/Shots/a b.png"));
    ASSERT_EQ(panels.alerts.size(), 2u);
    EXPECT_EQ(panels.alerts[0],
              "The folder “/home/ann/Shots” couldn’t be opened because no file manager is set up.");
    EXPECT_EQ(panels.alerts[1],
              "“/home/ann/Shots/a b.png” couldn’t be opened because no program is set up to open "
              "it.");
    EXPECT_EQ(opened, (std::vector<QString>{"/home/ann/Shots", "/home/ann/Shots/a.png",
                                            "/home/ann/Shots", "/home/ann/Shots/a b.png"}));
}

} // namespace
