// The pages module (tarnwell-pages.so): what Qt draws into PDF files.
#pragma once

#include <string>
#include <vector>

namespace tarnwell::cli {

int RunPrint(const std::string& home, const std::vector<std::string>& args);

}  // namespace tarnwell::cli
