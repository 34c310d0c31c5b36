#include "FailureAlert.h"

#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <exception>
#include <string>

#include "share/native/applauncher/BundleLayout.h"
#include "share/native/common/Dll.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/app.h"
#include "share/native/common/tstrings.h"

namespace {

// In the system's shared cache from macOS 11 on, so it loads although no file
// is on disk.
const char kCoreFoundationPath[] =
    "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation";

// CoreFoundation's C interface, with its types spelt out: no header of it is needed.
typedef const void* CFTypeRef;
typedef CFTypeRef (*CFStringCreateWithBytesFunc)(CFTypeRef allocator, const unsigned char* bytes,
                                                 long numBytes, unsigned int encoding,
                                                 unsigned char isExternalRepresentation);
typedef int (*CFUserNotificationDisplayAlertFunc)(
    double timeout, unsigned long flags, CFTypeRef iconURL, CFTypeRef soundURL,
    CFTypeRef localizationURL, CFTypeRef alertHeader, CFTypeRef alertMessage,
    CFTypeRef defaultButtonTitle, CFTypeRef alternateButtonTitle, CFTypeRef otherButtonTitle,
    unsigned long* responseFlags);
typedef void (*CFReleaseFunc)(CFTypeRef cf);

const unsigned int kCFStringEncodingUTF8 = 0x08000100;
const unsigned long kCFUserNotificationStopAlertLevel = 0;
// A Mac with nobody at its screen must not keep a failed launch alive for good.
const double kTimeoutSeconds = 300;
// Room for any of the launcher's messages with a long path, still readable.
const std::size_t kMaxTextBytes = 1000;

// Started by the Finder, the Dock or "open", the parent is launchd (process 1)
// and standard error is no terminal; from a terminal or a script the parent is
// the shell, or standard error is the terminal.
bool isWanted() {
  return getppid() == 1 && !isatty(STDERR_FILENO) &&
         SysInfo::getEnvVariable(std::nothrow, "KELPAK_NO_ALERT", std::string()) != "true";
}

// The name the user opened: the bundle's without ".app", or the executable's
// outside a bundle; empty when the executable cannot be found.
std::string applicationName() {
  std::string launcherPath;
  try {
    launcherPath = SysInfo::getProcessModulePath();
  } catch (const std::exception&) {
    return std::string();
  }
  const std::string bundle = FileUtils::basename(BundleLayout::imageRoot(launcherPath));
  const std::string suffix = ".app";
  if (bundle.size() > suffix.size() && FileUtils::suffix(bundle) == suffix) {
    return bundle.substr(0, bundle.size() - suffix.size());
  }
  return FileUtils::basename(launcherPath);
}

// `text` as CoreFoundation takes it, well-formed UTF-8 (a path may hold any
// bytes): a byte that starts no character becomes U+FFFD. Whole characters of
// at most kMaxTextBytes bytes are kept, and "…" marks a cut.
std::string displayable(const std::string& text) {
  std::string result;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = tstrings::utf8CharLength(text, at);
    const std::string character = length ? text.substr(at, length) : "\xEF\xBF\xBD";
    if (result.size() + character.size() > kMaxTextBytes) return result + "\xE2\x80\xA6";
    result += character;
    at += length ? length : 1;
  }
  return result;
}

// Throws when the library or one of its functions cannot be loaded.
void showAlert(const std::string& title, const std::string& text) {
  const Dll coreFoundation(kCoreFoundationPath);
  CFStringCreateWithBytesFunc createString;
  CFUserNotificationDisplayAlertFunc displayAlert;
  CFReleaseFunc release;
  coreFoundation.getFunction("CFStringCreateWithBytes", createString);
  coreFoundation.getFunction("CFUserNotificationDisplayAlert", displayAlert);
  coreFoundation.getFunction("CFRelease", release);
  const auto cfString = [createString](const std::string& utf8) {
    return createString(nullptr, reinterpret_cast<const unsigned char*>(utf8.data()),
                        static_cast<long>(utf8.size()), kCFStringEncodingUTF8, false);
  };
  const CFTypeRef header = cfString(title);
  const CFTypeRef message = cfString(text);
  if (header && message) {
    // Null URLs and button titles: the default icon and one "OK" button.
    unsigned long response = 0;
    displayAlert(kTimeoutSeconds, kCFUserNotificationStopAlertLevel, nullptr, nullptr, nullptr,
                 header, message, nullptr, nullptr, nullptr, &response);
  }
  if (header) release(header);
  if (message) release(message);
}

// Constant-initialised, so a successful launch does not pay for it.
std::atomic<bool> alertShown{false};

}  // namespace

void FailureAlertLogAppender::append(const LogEvent& event) {
  app::defaultLastErrorLogAppender().append(event);
  // A failed second entry of main and then the first one show one alert.
  if (alertShown.exchange(true)) return;
  try {
    if (!isWanted()) return;
    const std::string name = applicationName();
    showAlert(displayable(name.empty() ? "The application cannot be opened."
                                       : "The application \"" + name + "\" cannot be opened."),
              displayable(app::lastErrorLine()));
  } catch (...) {
    // The line is on standard error and in the system log already.
  }
}
