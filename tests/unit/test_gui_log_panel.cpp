/*
 * Tests of the editor's log panel (output posted from any thread, shown per
 * step, filtered by robot, repeated debug texts left out) and of the natural
 * order used for numbered rows.
 */
#include "test_gui_app.h"

#include "vesk_qt_log_panel.h"
#include "vesk_qt_statetree_item.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(GuiLogPanel, ShowsOutputByStepAndFiltersByRobot) {
  CVeskQTLogPanel cPanel;
  cPanel.Post(12, false, "a");
  cPanel.Post(3, true, "busy");
  EXPECT_TRUE(cPanel.GetVisibleLines().isEmpty()); /* until the step is over */
  cPanel.Flush(4);
  cPanel.Post(3, true, "busy"); /* the same debug text again: not listed */
  cPanel.Post(3, false, "two\nlines");
  cPanel.Post(12, true, "busy"); /* another robot's */
  cPanel.Flush(5);
  EXPECT_EQ(cPanel.GetVisibleLines(),
            (QStringList{"[4] R12: a", "[4] R3 debug: busy", "[5] R3: two lines",
                         "[5] R12 debug: busy"}));
  EXPECT_EQ(cPanel.GetRobots(), (QList<quint16>{3, 12}));
  cPanel.SetFilter(12);
  EXPECT_EQ(cPanel.GetVisibleLines(), (QStringList{"[4] R12: a", "[5] R12 debug: busy"}));
  cPanel.Post(3, false, "hidden");
  cPanel.Post(12, false, "shown");
  cPanel.Flush(6);
  EXPECT_EQ(cPanel.GetVisibleLines().last(), "[6] R12: shown");
  EXPECT_EQ(cPanel.GetEntries().size(), 6);
  /* A robot that never wrote anything shows everything. */
  cPanel.SetFilter(7);
  EXPECT_EQ(cPanel.GetFilter(), -1);
  EXPECT_EQ(cPanel.GetVisibleLines().size(), 6);
  cPanel.Clear();
  EXPECT_TRUE(cPanel.GetEntries().isEmpty());
  cPanel.Post(3, true, "busy"); /* listed again after a clear */
  cPanel.Flush(7);
  EXPECT_EQ(cPanel.GetVisibleLines(), (QStringList{"[7] R3 debug: busy"}));
}

TEST(GuiLogPanel, KeepsTheLatestEntriesAndTakesPostsFromThreads) {
  CVeskQTLogPanel cPanel;
  std::vector<std::thread> vecThreads;
  for (quint16 unRobot = 1; unRobot <= 4; ++unRobot)
    vecThreads.emplace_back([&cPanel, unRobot] {
      for (int i = 0; i < CVeskQTLogPanel::MAX_ENTRIES / 2; ++i)
        cPanel.Post(unRobot, false, QString::number(i));
    });
  for (std::thread &cThread : vecThreads)
    cThread.join();
  cPanel.Flush(1);
  ASSERT_EQ(cPanel.GetEntries().size(), CVeskQTLogPanel::MAX_ENTRIES);
  EXPECT_EQ(cPanel.GetVisibleLines().size(), CVeskQTLogPanel::MAX_ENTRIES);
  /* The oldest posts went: what is kept of each robot is the end of what
   * it posted, in its order (a robot that finished early may have nothing
   * left). */
  int nLast[5] = {-1, -1, -1, -1, -1};
  for (const CVeskQTLogPanel::SEntry &sEntry : cPanel.GetEntries()) {
    const int n = sEntry.Text.toInt();
    if (nLast[sEntry.Robot] >= 0) {
      EXPECT_EQ(n, nLast[sEntry.Robot] + 1);
    }
    nLast[sEntry.Robot] = n;
  }
  for (int nRobot = 1; nRobot <= 4; ++nRobot) {
    if (nLast[nRobot] >= 0) {
      EXPECT_EQ(nLast[nRobot], CVeskQTLogPanel::MAX_ENTRIES / 2 - 1);
    }
  }
}

TEST(GuiNaturalOrder, NumbersCompareByValueLettersWithoutCase) {
  EXPECT_TRUE(NaturalLessThan("R2", "R10"));
  EXPECT_FALSE(NaturalLessThan("R10", "R2"));
  EXPECT_TRUE(NaturalLessThan("stigmergy 9", "stigmergy 10"));
  EXPECT_TRUE(NaturalLessThan("a", "B"));
  EXPECT_TRUE(NaturalLessThan("swarm", "swarm 1"));
  EXPECT_FALSE(NaturalLessThan("R7", "R7"));
  EXPECT_FALSE(NaturalLessThan("R007", "R7")); /* leading zeros do not count */
  EXPECT_FALSE(NaturalLessThan("R7", "R007"));
  EXPECT_TRUE(NaturalLessThan("R7a", "R7b"));
  EXPECT_TRUE(NaturalLessThan("x1y2", "x1y10"));

  CVeskQTStateTreeItem cRoot;
  for (const char *pchName : {"R10", "R2", "r1", "R11"})
    cRoot.AddChild(new CVeskQTStateTreeItem({QString(pchName)}, &cRoot));
  cRoot.SortChildren(ItemNaturalLessThan);
  QStringList listNames;
  for (int i = 0; i < cRoot.GetNumChildren(); ++i)
    listNames.append(
        cRoot.GetChild(static_cast<unsigned long>(i))->GetData(0).toString());
  EXPECT_EQ(listNames, (QStringList{"r1", "R2", "R10", "R11"}));
  /* Columns are added up to the one set. */
  CVeskQTStateTreeItem *pcItem = cRoot.GetChild(0);
  pcItem->SetData(3, 42);
  EXPECT_EQ(pcItem->GetData(3).toInt(), 42);
  EXPECT_FALSE(pcItem->GetData(2).isValid());
  EXPECT_EQ(pcItem->GetData(0).toString(), "r1");
}
