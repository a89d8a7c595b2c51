#pragma once
// A scratch folder that is the current folder for the lifetime of the object,
// as the launcher addresses every file relative to the current folder.
#include "support/scratchfolder.h"

namespace orv::launcher {

class TestFolder : public testsupport::ScratchFolder {
public:
    TestFolder() : ScratchFolder("launcher-test"), entered_(path()) {}

private:
    testsupport::EnteredFolder entered_;
};

}  // namespace orv::launcher
