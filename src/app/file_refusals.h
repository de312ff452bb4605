// Why the run refuses a file that it is given or keeps (the password file, the log and its
// folder), in the words that follow the file's name in the log and in /CHECK's reasons.
#pragma once

inline constexpr const char* kRefusalDoesNotExist = "does not exist";
inline constexpr const char* kRefusalIsALink = "is a link";
inline constexpr const char* kRefusalNotARegularFile = "is not a regular file";
inline constexpr const char* kRefusalTooLargeForAPassword = "is too large for a password";
