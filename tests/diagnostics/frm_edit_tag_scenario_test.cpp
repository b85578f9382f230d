// The tag name editor against the controller model, on the virtual clock.
#include "diagnostics/frm_edit_tag.h"

#include <gtest/gtest.h>

#include "diagnostics/diagnostics_rig.h"
#include "diagnostics/frm_report.h"

namespace orvik::diagnostics {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;

class EditTag : public ::testing::Test, protected testing::ControllerSession {
 protected:
  // Opens the editor from the Setup menu and runs `steps` on it once it is shown.
  void openEditor(std::function<void(frmEditTag&)> steps) {
    ui.whenShown("frmEditTag", [steps](platform::Form& f) { steps(static_cast<frmEditTag&>(f)); });
    rig.main.mnuEditTag.click();
  }
  // At `after` from now, types `text` into the box as a person would and presses Save.
  void typeAndSave(frmEditTag& d, std::chrono::milliseconds after, std::string text) {
    ui.at(std::chrono::milliseconds(ui.nowMs()) + after, [&d, text] {
      d.txtTag.userEdit(text);
      d.cmdTrim.click();
    });
  }
  std::vector<std::string> writtenTags() const {
    std::vector<std::string> tags;
    for (const auto& w : rig.model.writes())
      if (w.code == 'D') tags.push_back(w.tag);
    return tags;
  }
};

TEST_F(EditTag, ReadsTheTagAndWritesWhatWasTypedPaddedToTwentyBlanks) {
  rig.model.settings.tag = "  OLD TAG";
  startPolling();
  const std::size_t before = rig.model.requests().size();
  std::string shownAfterRead, statusReading, statusSaving;
  bool saveEnabledAfterRead = true;
  ui.expectBox("Save Changes", MsgResult::Ok);
  openEditor([&](frmEditTag& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 600ms, [&] { statusReading = d.lblStatus.text(); });
    d.tmrSequence.onTick = [&d, &statusSaving] {
      d.tmrSequence_Timer();
      if (d.lblStatus.text() != "" && d.lblStatus.text() != "Reading Tag Name...")
        statusSaving = d.lblStatus.text();
    };
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 1100ms, [&] {
      shownAfterRead = d.txtTag.text();
      saveEnabledAfterRead = d.cmdTrim.enabled();
    });
    typeAndSave(d, 1500ms, "ABC");
  });
  EXPECT_EQ(shownAfterRead, "OLD TAG");
  EXPECT_EQ(statusReading, "Reading Tag Name...");
  EXPECT_EQ(statusSaving, "Saving new Tag Name...");
  EXPECT_FALSE(saveEnabledAfterRead) << "filling the box from the controller does not enable Save";
  EXPECT_EQ(ui.boxes().back().box.text, "OK to change new Tag Name?");
  const auto requests = requestsSince(before);
  Bytes expected{0x44, 0x16, 'A', 'B', 'C'};
  expected.insert(expected.end(), 17, 0x20);
  expected.push_back(0x04);
  EXPECT_EQ(requests.back(), expected);
  EXPECT_EQ(writtenTags(), (std::vector<std::string>{"ABC                 "}));
  EXPECT_FALSE(ui.ended());
  EXPECT_EQ(rig.model.settings.tag, "ABC                 ");
}

TEST_F(EditTag, WritesExactlyWhatTheTechnicianMeantAndNothingElse) {
  struct Row {
    const char* what;
    std::string typed;
    std::vector<std::string> written;
  };
  const std::vector<Row> rows = {
      {"an empty box writes twenty blanks", "", {std::string(20, ' ')}},
      {"blanks around the text are dropped", "  X 1  ", {"X 1" + std::string(17, ' ')}},
      {"the euro sign is byte 80", "\xE2\x82\xAC 5", {"\x80 5" + std::string(17, ' ')}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testing::ControllerSession run;
    run.startPolling();
    run.ui.expectBox("Save Changes", MsgResult::Ok);
    run.ui.whenShown("frmEditTag", [&](platform::Form& f) {
      auto& d = static_cast<frmEditTag&>(f);
      run.ui.at(std::chrono::milliseconds(run.ui.nowMs()) + 1500ms, [&] {
        d.txtTag.userEdit(row.typed);
        d.cmdTrim.click();
      });
    });
    run.rig.main.mnuEditTag.click();
    ASSERT_EQ(run.rig.model.writes().size(), 1u);
    EXPECT_EQ(run.rig.model.writes()[0].tag, row.written[0]);
  }
}

TEST_F(EditTag, ACharacterWithoutATagByteIsRefusedBeforeAnythingIsSent) {
  startPolling();
  ui.expectBox("Tag Name", MsgResult::Ok);
  openEditor([&](frmEditTag& d) {
    typeAndSave(d, 1500ms, "SNOW \xE2\x98\x83");
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 2000ms, [&] { d.cmdCancel.click(); });
  });
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].box.text,
            "The character \"\xE2\x98\x83\" cannot be stored in the controller's tag name.");
  EXPECT_TRUE(rig.model.writes().empty());
}

// Once the technician has typed, the box is theirs: a late answer to the read never replaces it.
TEST_F(EditTag, ALateAnswerToTheReadNeverReplacesWhatWasTyped) {
  startPolling();
  rig.model.faults.answerDelay = 700ms;
  ui.expectBox("Save Changes", MsgResult::Ok, 1s);  // the answer to the read lands under the question
  openEditor([&](frmEditTag& d) { typeAndSave(d, 600ms, "NEW"); });
  EXPECT_EQ(writtenTags(), (std::vector<std::string>{"NEW" + std::string(17, ' ')}));
}

TEST_F(EditTag, RetryAfterAReadTimeOutReadsAgainAndOnlyRetryAfterAWriteSavesAgain) {
  startPolling();
  rig.model.faults.silent = true;
  ui.expectBox("Communications Timeout", MsgResult::Retry);
  ui.expectBox("Communications Timeout", MsgResult::Cancel);
  const std::size_t before = rig.model.requests().size();
  rig.main.mnuEditTag.click();
  EXPECT_EQ(ui.boxTitles(), (std::vector<std::string>{"Communications Timeout", "Communications Timeout"}));
  for (const Bytes& r : requestsSince(before))
    EXPECT_EQ(r[0], 'C') << "nothing but reads";
  EXPECT_TRUE(rig.model.writes().empty());

  // A write that times out is saved again on Retry, with its question.
  testing::ControllerSession run;
  run.startPolling();
  run.ui.expectBox("Save Changes", MsgResult::Ok);
  run.ui.expectBox("Communications Timeout", MsgResult::Retry);
  run.ui.expectBox("Save Changes", MsgResult::Ok);
  run.ui.whenShown("frmEditTag", [&](platform::Form& f) {
    auto& d = static_cast<frmEditTag&>(f);
    run.ui.at(std::chrono::milliseconds(run.ui.nowMs()) + 1500ms, [&] {
      run.rig.model.faults.silent = true;
      d.txtTag.userEdit("T2");
      d.cmdTrim.click();
    });
    run.ui.at(std::chrono::milliseconds(run.ui.nowMs()) + 6600ms,
              [&] { run.rig.model.faults.silent = false; });
  });
  run.rig.main.mnuEditTag.click();
  ASSERT_FALSE(run.rig.model.writes().empty());
  EXPECT_EQ(run.rig.model.writes().back().tag, "T2" + std::string(18, ' '));
}

TEST_F(EditTag, IsRefusedWithoutRevisionFiveOrALink) {
  struct Row {
    const char* what;
    bool answerFirst;  // a status record has shown revision 5
    const char* title;
    std::size_t beeps;
  };
  for (const Row& row : {Row{"revision not yet known, link down", false, "Feature not Supported", 1},
                         Row{"revision 5, link down", true, "Communications Required", 0}}) {
    SCOPED_TRACE(row.what);
    testing::ControllerSession run;
    run.rig.model.faults.silent = !row.answerFirst;
    run.startPolling();
    run.rig.model.faults.silent = true;
    ASSERT_TRUE(run.ui.runUntil([&] { return run.rig.state.LinkDown; }, 10s));
    run.ui.expectBox(row.title, MsgResult::Ok);
    const std::size_t beeps = run.ui.beeps().size();
    run.rig.main.mnuEditTag.click();
    EXPECT_EQ(run.ui.boxTitles(), std::vector<std::string>{row.title});
    EXPECT_EQ(run.ui.beeps().size() - beeps, row.beeps);
  }
}

// The save question holds the editor's steps and time-out: answered after six seconds, the write still
// goes out and completes, and no time-out closes the window under the question.
TEST_F(EditTag, TheSaveQuestionHoldsTheTimeOut) {
  startPolling();
  rig.model.faults.silent = true;  // the read never completes
  ui.expectBox("Save Changes", MsgResult::Ok, 6s);
  ui.whenShown(
      "frmEditTag",
      [&](platform::Form& f) {
        auto& d = static_cast<frmEditTag&>(f);
        d.txtTag.userEdit("HELD");
        ui.at(std::chrono::milliseconds(ui.nowMs()) + 6s, [&] { rig.model.faults.silent = false; });
        d.cmdTrim.click();
      },
      1s);
  rig.main.mnuEditTag.click();
  ASSERT_FALSE(rig.model.writes().empty());
  EXPECT_EQ(rig.model.writes().back().tag, "HELD" + std::string(16, ' '));
}

TEST_F(EditTag, ALostLinkClosesTheEditorWithItsMessageAndSendsNothing) {
  startPolling();
  // The controller falls silent: the link is down, and the next poll clears LinkDown again, so only the
  // editor's own check can tell.
  rig.model.faults.silent = true;
  ASSERT_TRUE(ui.runUntil([&] { return !rig.link.works() && !rig.state.LinkDown; }, 10s));
  ui.expectBox("Communications Link", MsgResult::Ok);
  const std::size_t before = rig.model.requests().size();
  rig.main.mnuEditTag.click();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(
      ui.boxes()[0].box.text,
      "Unable to communicate with the Orvik controller.\rCheck cable connections and make sure the Orvik is "
      "ON.\rCommunications must be established before trimming.");
  EXPECT_TRUE(requestsSince(before).empty());
}

TEST_F(EditTag, FromTheReportItStopsTheReportUntilItClosesAndCancelStillReadsEverythingAgain) {
  startPolling();
  bool reportTimersStopped = false;
  std::size_t before = 0;
  ui.whenShown("frmReport", [&](platform::Form& f) {
    auto& report = static_cast<frmReport&>(f);
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 2600ms, [&] { report.cmdEditTag.click(); });
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 12s, [&] { report.cmdClose.click(); });
  });
  ui.whenShown("frmEditTag", [&](platform::Form& f) {
    auto& d = static_cast<frmEditTag&>(f);
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 6s, [&] {
      reportTimersStopped = true;  // six seconds in the editor: a running report time-out would have fired
      before = rig.model.requests().size();
      d.cmdCancel.click();
    });
  });
  rig.main.mnuReport.click();
  EXPECT_TRUE(reportTimersStopped);
  const auto requests = requestsSince(before);
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.front(), (Bytes{0x43, 0x02, 0xFE})) << "the full read starts again";
  EXPECT_EQ(readsOf(requests, 116), 0) << "no shutdown recorded";
  EXPECT_EQ(readsOf(requests, 30), 1);
}

}  // namespace
}  // namespace orvik::diagnostics
