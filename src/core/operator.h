// The operator: everything the system asks of, or tells, the person at the program.
//
// Every message of the system is composed in the core (exact text with '\n' line breaks,
// title, icon, buttons) and handed to an Operator. The desktop application shows it with
// Qt dialogs, the command-line tool prints it and answers from its flags, and tests use
// ScriptedOperator to give answers and to read back what was shown.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

enum class MessageIcon { None, Critical, Exclamation, Question, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class Answer { Ok, Cancel, Yes, No, Retry };

struct FileDialogRequest {
  std::string title;
  std::string filter;            // as designed, e.g. "*.EXP" or "Pool setup (*.POL)|*.POL"
  std::string defaultExtension;  // without the dot, e.g. "EXP"
  std::string startDir;          // empty: the dialog's own choice
  std::string initialName;       // proposed file name, may be empty
};

class Operator {
 public:
  virtual ~Operator() = default;

  // A modal message box. Returns the button pressed (Ok for a plain message).
  virtual Answer ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                             MessageButtons buttons = MessageButtons::Ok) = 0;
  // Open / save dialogs: the chosen full path, or nothing when cancelled.
  virtual std::optional<std::string> AskOpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> AskSaveFile(const FileDialogRequest& request) = 0;
  // A folder chooser: the chosen folder, or nothing when cancelled.
  virtual std::optional<std::string> AskDirectory(const std::string& title, const std::string& startDir) = 0;
  // The text-input box: the typed text, or nothing when cancelled.
  virtual std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                             const std::string& defaultText) = 0;
  // A message without buttons that closes itself after the given time.
  virtual void ShowTimedMessage(const std::string& text, const std::string& title, int milliseconds) = 0;
  // The status box: a short non-modal text ("Redrawing Pool"); an empty text hides it.
  virtual void ShowStatus(const std::string& text) = 0;
  // The progress window: caption and 0..100; percent < 0 closes it.
  virtual void ShowProgress(const std::string& caption, int percent) = 0;
};

// The handled-error report of the run and analysis chain:
// "Error N\n<description>\noccurred in sub\n<procedure>", title "ERROR", critical icon.
void ReportHandledError(Operator& op, int errorNumber, const std::string& description,
                        const std::string& procedure);

}  // namespace tarnwell
