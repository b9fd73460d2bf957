/*
 * Robots stepping on several threads: vesksim's worker pool (every index
 * once, failures rethrown by lowest index, reuse), the controllers' output
 * kept per thread and flushed in order, and a world of probe robots that
 * moves and hears the same whatever the number of threads.
 */
#include <gtest/gtest.h>

#include "sim_pool.h"
#include "sim_world.h"
#include "vesk_controller.h"
#include "veskmsg.h"
#include "vesksim_probe.h"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace vesksim;
using vesksim_test::CProbe;

namespace {

/* Every index of every job ran exactly once, on pools of several sizes,
   each pool running several jobs in a row. */
TEST(VeskSimPool, RunsEveryIndexOnceJobAfterJob) {
  for (unsigned unThreads : {0u, 1u, 2u, 8u}) {
    CWorkerPool cPool(unThreads);
    EXPECT_EQ(cPool.GetThreads(), unThreads == 0 ? 1u : unThreads);
    for (size_t unCount : {size_t(0), size_t(1), size_t(7), size_t(1000)}) {
      std::vector<std::atomic<int>> vecHits(unCount);
      for (int nJob = 0; nJob < 3; ++nJob)
        cPool.Run(unCount, [&](size_t i) { vecHits[i].fetch_add(1); });
      for (size_t i = 0; i < unCount; ++i)
        ASSERT_EQ(vecHits[i].load(), 3) << unThreads << " threads, index " << i;
      EXPECT_EQ(cPool.GetFailedIndex(), unCount);
    }
  }
}

/* Failing calls: the others still run, the lowest failing index's exception
   comes back, and the pool goes on working. */
TEST(VeskSimPool, RethrowsTheLowestFailureAndGoesOn) {
  for (unsigned unThreads : {1u, 2u, 8u}) {
    CWorkerPool cPool(unThreads);
    std::vector<std::atomic<int>> vecHits(500);
    try {
      cPool.Run(500, [&](size_t i) {
        vecHits[i].fetch_add(1);
        if (i == 499 || i == 123 || i == 321) throw std::runtime_error(std::to_string(i));
      });
      ADD_FAILURE() << "no exception with " << unThreads << " threads";
    } catch (std::runtime_error &ex) {
      EXPECT_STREQ(ex.what(), "123");
    }
    EXPECT_EQ(cPool.GetFailedIndex(), 123u);
    for (size_t i = 0; i < vecHits.size(); ++i)
      ASSERT_EQ(vecHits[i].load(), 1) << "index " << i;
    std::atomic<size_t> unSum{0};
    cPool.Run(100, [&](size_t i) { unSum += i; });
    EXPECT_EQ(unSum.load(), 4950u);
    EXPECT_EQ(cPool.GetFailedIndex(), 100u);
  }
}

/* A failure report whose text names the robot. */
CVeskController::SScriptFailure Failure(const std::string &str_robot) {
  CVeskController::SScriptFailure sFailure;
  sFailure.RobotId = str_robot;
  sFailure.Text = "report of " + str_robot + "\n";
  return sFailure;
}

class VeskOutput : public testing::Test {
protected:
  void SetUp() override {
    CVeskController::SetFailureReporter(
        [](const CVeskController::SScriptFailure &s_failure) {
          std::fputs(("[failure " + s_failure.RobotId + "]\n").c_str(), stderr);
        });
  }
  void TearDown() override { CVeskController::SetFailureReporter(nullptr); }
};

/* What a robot writes on a thread with a capture - error text, failure
   reports, the messaging layer's warnings - stays there until flushed, then
   comes out in the order it was written. Other threads are not captured. */
TEST_F(VeskOutput, CapturedPerThreadAndFlushedInOrder) {
  CVeskController::COutput cOutput;
  std::thread cWorker([&] {
    CVeskController::CCapture cCapture(cOutput);
    veskvm_t tVM = veskvm_new(4);
    CVeskController::WriteError("first\n");
    CVeskController::WriteFailure(Failure("fb4"));
    veskmsg_warn(tVM, "warned %d times\n", 3);
    CVeskController::WriteError("last\n");
    veskvm_destroy(&tVM);
  });
  testing::internal::CaptureStderr();
  CVeskController::WriteError("main thread\n");
  cWorker.join();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "main thread\n");
  ASSERT_FALSE(cOutput.Empty());
  testing::internal::CaptureStderr();
  cOutput.Flush();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "first\n[failure fb4]\n[WARNING] [ROBOT 4] warned 3 times\nlast\n");
  EXPECT_TRUE(cOutput.Empty());
}

/* Captures nest and each restores the one before; after the last the text
   and the warnings go straight out again. Clear forgets. */
TEST_F(VeskOutput, CapturesNestAndEnd) {
  CVeskController::COutput cOuter, cInner;
  veskvm_t tVM = veskvm_new(9);
  {
    CVeskController::CCapture cOuterCapture(cOuter);
    CVeskController::WriteError("outer 1\n");
    {
      CVeskController::CCapture cInnerCapture(cInner);
      CVeskController::WriteError("inner\n");
      veskmsg_warn(tVM, "inner warning\n");
    }
    veskmsg_warn(tVM, "outer warning\n");
    CVeskController::WriteFailure(Failure("fb9"));
    /* Flushing the inner output while the outer captures moves it there. */
    cInner.Flush();
  }
  testing::internal::CaptureStderr();
  CVeskController::WriteError("direct\n");
  veskmsg_warn(tVM, "direct warning\n");
  cOuter.Flush();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "direct\n[WARNING] [ROBOT 9] direct warning\nouter 1\n[WARNING] [ROBOT 9] "
            "outer warning\n[failure fb9]\ninner\n[WARNING] [ROBOT 9] inner warning\n");
  {
    CVeskController::CCapture cCapture(cOuter);
    CVeskController::WriteError("forgotten\n");
  }
  cOuter.Clear();
  testing::internal::CaptureStderr();
  cOuter.Flush();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  veskvm_destroy(&tVM);
}

/* A ring of probe robots in a crowd: driving, bumping and hearing each
   other, with N threads and one robot stepped apart. */
class VeskSimThreadedWorld {
public:
  explicit VeskSimThreadedWorld(unsigned un_threads, const std::string &str_apart = "")
      : m_cWorld(10, argos::CVector3(6, 6, 2), argos::CVector3(0, 0, 1), {}) {
    for (int i = 0; i < 30; ++i) {
      m_vecDocs.push_back(std::make_unique<ticpp::Document>());
      m_vecDocs.back()->Parse(
          "<vesksim_probe><actuators><range_and_bearing/><differential_steering/>"
          "</actuators><sensors><range_and_bearing/><footbot_proximity/></sensors>"
          "<params left=\"" +
          std::to_string(5 + i % 7) + "\" right=\"" + std::to_string(9 - i % 5) +
          "\"/></vesksim_probe>");
      SRobotSpec sSpec;
      sSpec.Id = "fb" + std::to_string(i);
      sSpec.Position.Set(-2.5 + (i % 6) * 0.25, -1 + (i / 6) * 0.25, 0);
      sSpec.Yaw = i;
      sSpec.RABRange = 1;
      m_cWorld.AddRobot(sSpec, *m_vecDocs.back()->FirstChildElement());
    }
    m_cWorld.SetThreads(un_threads);
    EXPECT_TRUE(m_cWorld.SetSequentialRobot(str_apart));
    for (int i = 0; i < 40; ++i)
      m_cWorld.Step();
  }
  /* Every robot's pose and what it heard, as text. */
  std::string Trace() {
    std::string strOut;
    for (size_t i = 0; i < m_cWorld.GetNumRobots(); ++i) {
      SBody &sBody = m_cWorld.GetBody(i);
      strOut += std::to_string(sBody.Position().GetX()) + "," +
                std::to_string(sBody.Position().GetY()) + ":";
      for (const auto &vecStep :
           dynamic_cast<CProbe &>(sBody.Robot->GetController()).Heard)
        for (const CProbe::SHeard &sHeard : vecStep)
          strOut +=
              " " + std::to_string(sHeard.Sender) + "@" + std::to_string(sHeard.Range);
      strOut += "\n";
    }
    return strOut;
  }
  CWorld &World() { return m_cWorld; }

private:
  std::vector<std::unique_ptr<ticpp::Document>> m_vecDocs;
  CWorld m_cWorld;
};

TEST(VeskSimThreads, SameWorldWhateverTheThreads) {
  const std::string strOne = VeskSimThreadedWorld(1).Trace();
  EXPECT_NE(strOne.find('@'), std::string::npos); /* the robots heard each other */
  EXPECT_EQ(VeskSimThreadedWorld(2).Trace(), strOne);
  EXPECT_EQ(VeskSimThreadedWorld(8).Trace(), strOne);
  EXPECT_EQ(VeskSimThreadedWorld(4, "fb7").Trace(), strOne);
}

TEST(VeskSimThreads, SequentialRobotMustExist) {
  VeskSimThreadedWorld cWorld(2);
  EXPECT_EQ(cWorld.World().GetThreads(), 2u);
  EXPECT_FALSE(cWorld.World().SetSequentialRobot("fb99"));
  EXPECT_TRUE(cWorld.World().SetSequentialRobot("fb29"));
  EXPECT_TRUE(cWorld.World().SetSequentialRobot(""));
}

} // namespace
