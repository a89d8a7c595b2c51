#pragma once
// The file-open dialog, behind an interface so tests pick files without a
// modal dialog.
#include <string>

namespace orv::launcher {

struct FileDialogRequest {
    std::string title;  // empty: the dialog's own default title
    std::string initialFolder;
    std::string filter;            // ".wav" or ".txt"
    std::string initialName;       // "*.wav" or "*.txt"
    std::string defaultExtension;  // "wav" for the wave-file dialog
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen file's full path; empty when the dialog ended without a choice.
    virtual std::string chooseFile(const FileDialogRequest& request) = 0;
};

}  // namespace orv::launcher
