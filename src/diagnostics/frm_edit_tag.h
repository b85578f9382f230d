#pragma once

#include <chrono>
#include <string>

#include "link/controller_link.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace orvik::diagnostics {

inline constexpr std::chrono::milliseconds kTagStepPeriod{500};
inline constexpr std::chrono::milliseconds kTagExchangeLimit{5000};

// "Edit Orvik Controller Tag Name": reads the controller's tag name, lets the technician change it and
// writes it back. Steps 1-3 read, 10-11 write.
class frmEditTag : public platform::Form {
 public:
  frmEditTag(platform::Ui& ui, link::ControllerLink& link, const platform::Form& mainWindow);
  ~frmEditTag() override;

  void Form_Load() override;
  void Form_Activate() override;
  void tmrSequence_Timer();
  void tmrTimeout_Timer();
  void cmdTrim_Click();
  void cmdCancel_Click();
  // The close box and Alt+F4 do what Cancel does.
  bool Form_QueryUnload() override;
  void txtTag_Change();

  platform::Label Label1{*this, "Label1", "Tag Name:     (20 characters max)"};
  platform::TextBox txtTag{*this, "txtTag"};
  platform::Label lblStatus{*this, "lblStatus", ""};
  platform::Button cmdHelp{*this, "cmdHelp", "&Help"};
  platform::Button cmdTrim{*this, "cmdTrim", "&Save"};
  platform::Button cmdCancel{*this, "cmdCancel", "&Cancel"};
  platform::Timer tmrSequence{*this, "tmrSequence", static_cast<int>(kTagStepPeriod.count())};
  platform::Timer tmrTimeout{*this, "tmrTimeout", static_cast<int>(kTagExchangeLimit.count())};

 private:
  void startRead();
  void startWrite();
  platform::MsgResult askHeld(const platform::MessageBox& box);
  link::Request writeRequest() const { return link::Request::writeTag(tagToWrite_); }

  link::ControllerLink& link_;
  link::RunState& state_;
  const platform::Form& main_;
  bool readStarted_ = false;
  // Once the technician has typed, the box is theirs: a late answer to the read never refills it.
  bool typed_ = false;
  // What was last timed out, so Retry repeats that and not something else.
  bool writing_ = false;
  // The tag as accepted by Save: what every repeat of the write sends.
  std::string tagToWrite_;
  std::optional<std::string> held_;      // the tag the controller held, as read
  std::optional<std::string> notedTag_;  // the tag last noted for the service record
};

}  // namespace orvik::diagnostics
