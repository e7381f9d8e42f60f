#include "core/scripted_operator.h"

#include <algorithm>

namespace tarnwell {

namespace {

std::vector<Answer> ButtonsOf(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return {Answer::Ok};
    case MessageButtons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case MessageButtons::YesNo: return {Answer::Yes, Answer::No};
    case MessageButtons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case MessageButtons::RetryCancel: return {Answer::Retry, Answer::Cancel};
  }
  return {Answer::Ok};
}

}  // namespace

void ReportHandledError(Operator& op, int errorNumber, const std::string& description,
                        const std::string& procedure) {
  op.ShowMessage("Error " + std::to_string(errorNumber) + "\n" + description + "\noccurred in sub\n" + procedure,
                 "ERROR", MessageIcon::Critical, MessageButtons::Ok);
}

std::vector<OperatorLogEntry> ScriptedOperator::Messages() const {
  std::vector<OperatorLogEntry> out;
  std::copy_if(log_.begin(), log_.end(), std::back_inserter(out),
               [](const OperatorLogEntry& e) { return e.kind == OperatorLogEntry::Kind::Message; });
  return out;
}

bool ScriptedOperator::HasMessageContaining(const std::string& piece) const {
  return std::any_of(log_.begin(), log_.end(), [&](const OperatorLogEntry& e) {
    return e.kind == OperatorLogEntry::Kind::Message && e.text.find(piece) != std::string::npos;
  });
}

Answer ScriptedOperator::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                                     MessageButtons buttons) {
  const std::vector<Answer> allowed = ButtonsOf(buttons);
  Answer answer;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if (std::find(allowed.begin(), allowed.end(), defaultAnswer) != allowed.end()) {
    answer = defaultAnswer;
  } else if (defaultAnswer == Answer::Yes && buttons == MessageButtons::OkCancel) {
    answer = Answer::Ok;
  } else if (defaultAnswer == Answer::No || defaultAnswer == Answer::Cancel) {
    answer = allowed.back();
  } else {
    answer = allowed.front();
  }
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::Message;
  entry.text = text;
  entry.title = title;
  entry.icon = icon;
  entry.buttons = buttons;
  entry.answer = answer;
  Record(entry);
  return answer;
}

std::optional<std::string> ScriptedOperator::NextReply() {
  if (replies_.empty()) return std::nullopt;
  auto reply = replies_.front();
  replies_.pop_front();
  return reply;
}

std::optional<std::string> ScriptedOperator::AskOpenFile(const FileDialogRequest& request) {
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::OpenFile;
  entry.title = request.title;
  entry.text = request.filter;
  entry.reply = NextReply();
  Record(entry);
  return entry.reply;
}

std::optional<std::string> ScriptedOperator::AskSaveFile(const FileDialogRequest& request) {
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::SaveFile;
  entry.title = request.title;
  entry.text = request.filter;
  entry.reply = NextReply();
  Record(entry);
  return entry.reply;
}

std::optional<std::string> ScriptedOperator::AskDirectory(const std::string& title, const std::string& startDir) {
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::Directory;
  entry.title = title;
  entry.text = startDir;
  entry.reply = NextReply();
  Record(entry);
  return entry.reply;
}

std::optional<std::string> ScriptedOperator::AskText(const std::string& prompt, const std::string& title,
                                                     const std::string& defaultText) {
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::Text;
  entry.title = title;
  entry.text = prompt;
  entry.reply = NextReply();
  Record(entry);
  return entry.reply;
}

void ScriptedOperator::ShowTimedMessage(const std::string& text, const std::string& title, int milliseconds) {
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::TimedMessage;
  entry.text = text;
  entry.title = title;
  entry.value = milliseconds;
  Record(entry);
}

void ScriptedOperator::ShowStatus(const std::string& text) {
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::Status;
  entry.text = text;
  Record(entry);
}

void ScriptedOperator::ShowProgress(const std::string& caption, int percent) {
  OperatorLogEntry entry;
  entry.kind = OperatorLogEntry::Kind::Progress;
  entry.text = caption;
  entry.value = percent;
  Record(entry);
}

void ScriptedOperator::Record(OperatorLogEntry entry) {
  if (onEntry) onEntry(entry);
  log_.push_back(std::move(entry));
}

}  // namespace tarnwell
