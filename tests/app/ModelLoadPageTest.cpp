// The model load page: the list's rows and edits, the drop-downs bound to the entries, the file
// picker entry, and the load with its device check and its calls back to the host.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTableWidget>

#include <string>

#include "app/ModelLoadPage.h"
#include "app/BlankPage.h"
#include "app/PanelHost.h"
#include "tests/app/AppTestSupport.h"

namespace {

using TavrinApp::DeviceSupport;
using TavrinApp::ModelLoadPage;

struct RecordingHost : TavrinApp::PanelHost {
    std::vector<std::string> calls;
    void Stop() override { calls.push_back("Stop"); }
    void ShowLoadedState() override { calls.push_back("ShowLoadedState"); }
    void ClosePanel() override { calls.push_back("ClosePanel"); }
};

class ModelLoadPageTest : public testing::Test {
protected:
    ModelLoadPageTest() {
        AppTest::EnsureApp();
        model = QString::fromStdString(files.Touch("dancer.pmx").string());
        motion = QString::fromStdString(files.Touch("dance.vmd").string());
    }

    std::unique_ptr<ModelLoadPage> MakePage(DeviceSupport device = DeviceSupport::Supported) {
        TavrinApp::ModelLoadServices services;
        services.search = ProjectTavrin::DirectorySearch(files.Dir());
        services.deviceCheck = [device] { return device; };
        services.notice = notices.Presenter();
        services.pickFile = [this](QWidget*, const QString&, const QString&) { return picked; };
        services.load = [this](std::vector<ProjectTavrin::SceneEntry> entries) {
            host.calls.push_back("Load");
            loaded = std::move(entries);
            return true;
        };
        return std::make_unique<ModelLoadPage>(host, std::move(services));
    }

    static QComboBox* Choice(ModelLoadPage& page, int row, int column) {
        return qobject_cast<QComboBox*>(page.Table()->cellWidget(row, column));
    }
    static void Pick(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    AppTest::FileFolder files;
    AppTest::NoticeLog notices;
    RecordingHost host;
    QString model, motion, picked;
    std::vector<ProjectTavrin::SceneEntry> loaded;
};

TEST_F(ModelLoadPageTest, NewPageHasOneRowOfferingMarkersFoundFilesAndBrowse) {
    auto page = MakePage();
    ASSERT_EQ(page->Table()->rowCount(), 1);
    ASSERT_EQ(page->Entries().Size(), 1u);
    QComboBox* models = Choice(*page, 0, 0);
    QComboBox* motions = Choice(*page, 0, 1);
    ASSERT_NE(models, nullptr);
    ASSERT_NE(motions, nullptr);
    ASSERT_EQ(models->count(), 4);
    EXPECT_EQ(models->itemText(0), "<Sample>");
    EXPECT_EQ(models->itemText(1), "<Camera>");
    EXPECT_EQ(models->itemText(2), model);
    EXPECT_EQ(models->itemText(3), ModelLoadPage::BrowseItemText());
    EXPECT_EQ(models->currentText(), "<Sample>");
    ASSERT_EQ(motions->count(), 3);
    EXPECT_EQ(motions->itemText(1), motion);
    EXPECT_EQ(motions->currentText(), "<None>");
}

TEST_F(ModelLoadPageTest, RowEditsFollowTheEntries) {
    auto page = MakePage();
    page->AddEntry();
    page->AddEntry();
    ASSERT_EQ(page->Table()->rowCount(), 3);

    page->Table()->clearSelection();
    page->RemoveSelected();
    EXPECT_EQ(page->Table()->rowCount(), 3) << "remove without a selection changes nothing";
    EXPECT_EQ(page->Entries().Size(), 3u);

    // Mark the middle entry, remove it, and the others keep their choices.
    Pick(Choice(*page, 1, 0), 2);
    Pick(Choice(*page, 2, 0), 1);
    page->Table()->selectRow(1);
    page->RemoveSelected();
    ASSERT_EQ(page->Table()->rowCount(), 2);
    ASSERT_EQ(page->Entries().Size(), 2u);
    EXPECT_EQ(page->Entries().At(0).Pmx, u"<Sample>");
    EXPECT_EQ(page->Entries().At(1).Pmx, u"<Camera>");
    // Edits of the remaining rows still reach their own entries.
    Pick(Choice(*page, 1, 1), 1);
    EXPECT_EQ(QString::fromStdU16String(page->Entries().At(1).Vmd), motion);

    page->RemoveAll();
    EXPECT_EQ(page->Table()->rowCount(), 0);
    EXPECT_TRUE(page->Entries().Empty());
}

TEST_F(ModelLoadPageTest, BrowseAddsThePickedFileOrRevertsWhenCancelled) {
    auto page = MakePage();
    QComboBox* models = Choice(*page, 0, 0);
    Pick(models, 2);
    picked.clear();
    Pick(models, models->count() - 1);
    EXPECT_EQ(models->currentIndex(), 2) << "a cancelled pick goes back to the previous choice";
    EXPECT_EQ(QString::fromStdU16String(page->Entries().At(0).Pmx), model);

    picked = QStringLiteral("/elsewhere/other.pmx");
    Pick(models, models->count() - 1);
    EXPECT_EQ(models->currentText(), picked);
    EXPECT_EQ(models->itemText(models->count() - 1), ModelLoadPage::BrowseItemText());
    EXPECT_EQ(page->Entries().At(0).Pmx, u"/elsewhere/other.pmx");
    EXPECT_EQ(page->Entries().At(0).PmxList.back(), u"/elsewhere/other.pmx");
}

TEST_F(ModelLoadPageTest, LoadHandsOverTheEntriesThenSwitchesAndClosesTheHost) {
    auto page = MakePage();
    Pick(Choice(*page, 0, 0), 2);
    Pick(Choice(*page, 0, 1), 1);
    page->AddEntry();
    page->Load();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(QString::fromStdU16String(loaded[0].Pmx), model);
    EXPECT_EQ(QString::fromStdU16String(loaded[0].Vmd), motion);
    EXPECT_EQ(loaded[1], (ProjectTavrin::SceneEntry{u"<Sample>", u"<None>"}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"Stop", "Load", "ShowLoadedState", "ClosePanel"}));
    EXPECT_TRUE(notices.shown.empty());
}

TEST_F(ModelLoadPageTest, DeviceCheckRefusesOrDoesNothing) {
    auto unsupported = MakePage(DeviceSupport::Unsupported);
    unsupported->Load();
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].title, QStringLiteral("硬件提示"));
    EXPECT_EQ(notices.shown[0].text,
              QStringLiteral("你的显卡不支持Vulkan 1.3.\r\nYour graphics card does not support Vulkan 1.3."));
    EXPECT_TRUE(host.calls.empty());

    auto failed = MakePage(DeviceSupport::QueryFailed);
    failed->Load();
    EXPECT_EQ(notices.shown.size(), 1u);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ModelLoadPageTest, DroppedFilesBecomeEntries) {
    auto page = MakePage();
    page->RemoveAll();
    page->SetMotionOfLastEntry(motion);
    page->AddModelFile(QStringLiteral("/outside/a.pmx"));
    page->SetMotionOfLastEntry(QStringLiteral("/outside/a.vmd"));
    ASSERT_EQ(page->Entries().Size(), 2u);
    EXPECT_EQ(QString::fromStdU16String(page->Entries().At(0).Vmd), motion);
    EXPECT_EQ(page->Entries().At(1).Pmx, u"/outside/a.pmx");
    EXPECT_EQ(page->Entries().At(1).Vmd, u"/outside/a.vmd");
    EXPECT_EQ(Choice(*page, 1, 0)->currentText(), QStringLiteral("/outside/a.pmx"));
    EXPECT_EQ(Choice(*page, 1, 1)->currentText(), QStringLiteral("/outside/a.vmd"));
}

TEST(ModelLoadThroughMainPage, EmptyListLoadsAnEmptySceneAndClosesThePanel) {
    AppTest::PageRig rig;
    rig.page().OpenModelLoadPage();
    auto* page = qobject_cast<ModelLoadPage*>(rig.page().PanelPage());
    ASSERT_NE(page, nullptr);
    page->RemoveAll();
    page->Load();
    EXPECT_EQ(rig.renderer().WaitForSceneTask(), WorkStatus::Completed);
    EXPECT_TRUE(rig.renderer().IsSceneReady());
    EXPECT_TRUE(rig.page().IsLoadedState());
    EXPECT_NE(qobject_cast<TavrinApp::BlankPage*>(rig.page().PanelPage()), nullptr);
    AppTest::ProcessEvents();

    // A page opened again starts fresh, with one entry.
    rig.page().OpenModelLoadPage();
    auto* fresh = qobject_cast<ModelLoadPage*>(rig.page().PanelPage());
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->Entries().Size(), 1u);
}

}  // namespace
