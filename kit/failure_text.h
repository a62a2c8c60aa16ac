#pragma once
// Why a file operation did not happen, in the words the tabs show.
#include <string>

#include "platform/file_operations.h"

// Empty for Done.
std::string FailureText(platform::FileOperationResult result);
