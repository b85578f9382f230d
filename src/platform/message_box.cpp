#include "platform/message_box.h"

namespace orvik::platform {

MsgResult dismissalOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return MsgResult::Ok;
    case MsgButtons::YesNo:
      return MsgResult::No;
    case MsgButtons::OkCancel:
    case MsgButtons::RetryCancel:
      return MsgResult::Cancel;
  }
  return MsgResult::Cancel;
}

const char* toString(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return "none";
    case MsgIcon::Information:
      return "information";
    case MsgIcon::Exclamation:
      return "exclamation";
    case MsgIcon::Question:
      return "question";
    case MsgIcon::Critical:
      return "critical";
  }
  return "?";
}

const char* toString(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return "OK";
    case MsgButtons::OkCancel:
      return "OK/Cancel";
    case MsgButtons::YesNo:
      return "Yes/No";
    case MsgButtons::RetryCancel:
      return "Retry/Cancel";
  }
  return "?";
}

const char* toString(MsgResult result) {
  switch (result) {
    case MsgResult::Ok:
      return "OK";
    case MsgResult::Cancel:
      return "Cancel";
    case MsgResult::Yes:
      return "Yes";
    case MsgResult::No:
      return "No";
    case MsgResult::Retry:
      return "Retry";
  }
  return "?";
}

}  // namespace orvik::platform
