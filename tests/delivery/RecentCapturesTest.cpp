#include "delivery/RecentCaptures.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using delivery::RecentCaptures;

TEST(RecentCaptures, CountsOpenEditorsAndListsNothingYet) {
    RecentCaptures& recent = RecentCaptures::shared();
    ASSERT_EQ(0, recent.openEditors());
    EXPECT_FALSE(recent.observesFolderSetting());
    QSignalSpy counted(&recent, &RecentCaptures::openEditorsChanged);

    recent.editorOpened();
    recent.editorOpened();
    EXPECT_EQ(2, recent.openEditors());
    EXPECT_TRUE(recent.observesFolderSetting());
    recent.editorClosed();
    recent.editorClosed();
    recent.editorClosed(); // one close too many stays at 0, silently
    EXPECT_EQ(0, recent.openEditors());
    EXPECT_EQ(4, counted.count());
    EXPECT_TRUE(recent.observesFolderSetting());

    QSignalSpy listed(&recent, &RecentCaptures::filesChanged);
    recent.refresh();
    EXPECT_TRUE(recent.files().empty());
    EXPECT_TRUE(recent.isAccessible());
    EXPECT_EQ(0, listed.count());
}
