// An Operator that answers from a script and logs every exchange.
//
// Tests queue the answers the operator would give and assert on the log. The command-line
// tool uses it too: with --yes every question is answered Yes/OK, otherwise No/Cancel, and
// each message can be echoed to a stream.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/operator.h"

namespace tarnwell {

struct OperatorLogEntry {
  enum class Kind { Message, OpenFile, SaveFile, Directory, Text, TimedMessage, Status, Progress };
  Kind kind = Kind::Message;
  std::string text;   // message text, dialog title's prompt, status text or progress caption
  std::string title;  // message or dialog title
  MessageIcon icon = MessageIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
  int value = 0;  // progress percent or timed-message milliseconds
  std::optional<std::string> reply;  // what the script answered for dialogs and text input
  Answer answer = Answer::Ok;        // what the script answered for messages
};

class ScriptedOperator : public Operator {
 public:
  // Answers used when the script has none queued for that kind of exchange.
  // Messages: `defaultAnswer` when the box has that button, otherwise its first button.
  Answer defaultAnswer = Answer::Ok;

  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  // Queued replies serve open/save/directory dialogs and text input in order;
  // nothing means "cancelled".
  void QueueReply(std::optional<std::string> reply) { replies_.push_back(std::move(reply)); }
  // Called for every exchange as it happens (the CLI prints messages to stderr with it).
  std::function<void(const OperatorLogEntry&)> onEntry;

  const std::vector<OperatorLogEntry>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  // Only the message boxes, in order (timed messages excluded).
  std::vector<OperatorLogEntry> Messages() const;
  // Whether any message box text contains the given piece.
  bool HasMessageContaining(const std::string& piece) const;

  Answer ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                     MessageButtons buttons) override;
  std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> AskDirectory(const std::string& title, const std::string& startDir) override;
  std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                     const std::string& defaultText) override;
  void ShowTimedMessage(const std::string& text, const std::string& title, int milliseconds) override;
  void ShowStatus(const std::string& text) override;
  void ShowProgress(const std::string& caption, int percent) override;

 private:
  std::optional<std::string> NextReply();
  void Record(OperatorLogEntry entry);

  std::deque<Answer> answers_;
  std::deque<std::optional<std::string>> replies_;
  std::vector<OperatorLogEntry> log_;
};

}  // namespace tarnwell
