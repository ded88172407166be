#pragma once
// Runtime error numbers as the rest of the program tests them (70 permission denied,
// 53 file not found, ...). Every failure of a platform call is turned into one of these
// through a single errno table, so handlers compare numbers, never errno values.
#include <stdexcept>
#include <string>

namespace brimlow {

namespace err {
constexpr int Overflow = 6;
constexpr int Unknown = 5;
constexpr int FileNotFound = 53;
constexpr int DeviceIo = 57;
constexpr int DiskFull = 61;
constexpr int DeviceUnavailable = 68;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int Cancelled = 32755;
}  // namespace err

int ErrorNumberFromErrno(int e) noexcept;

// What a number means, in a few words for a message ("disk full"); "error <n>" for the rest.
std::string ErrorNumberInWords(int number);

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const std::string& what);
    int number() const noexcept { return m_number; }

    // The current errno, turned into its runtime number; `context` is for diagnostics only.
    static RuntimeError FromErrno(int e, const std::string& context);

private:
    int m_number;
};

}  // namespace brimlow
