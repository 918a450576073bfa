#pragma once

#include <cstddef>
#include <string>

// Every console text of the installer's main flow.
namespace messages {

std::string usage();
std::string announcement();
std::string fileMissing(const std::string& pathArgument);
std::string pathTooLong(const std::string& pathArgument, std::size_t capacity);
std::string noApplication();
std::string additionSucceeded(const std::string& fullPath);
std::string removalSucceeded(const std::string& addInName);

}  // namespace messages
