// The exception reporter: the manager that routes unhandled exceptions, and the text of the error
// report (message, technical details, report file). No widgets here: the GUI supplies the screen,
// the focused control chain and the two ways of showing an exception through small callbacks.
#pragma once

#include "support/datetime.h"
#include "support/errors.h"

#include <array>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// A report block ends with this line.
inline const std::string kReportSeparator(100, '-');

// ---- Stack traces ------------------------------------------------------------------------------

// Return addresses of one call stack, innermost frame first, and when it was taken.
struct TStackCapture {
    TDateTime Taken = 0;
    std::vector<void*> Frames;
};

// Where an exception object was thrown: the address in the throwing code and the stack at that point.
struct TThrowSite {
    const void* Address = nullptr;
    TStackCapture Stack;
};

// Throw-site tracking. While it runs, every throw in the program's own code records its stack (the
// link step routes `throw` through a hook, see support/CMakeLists.txt). The manager starts it on
// creation and stops it on destruction; nested starts are counted.
void StartExceptionTracking();
void StopExceptionTracking();
bool ExceptionTrackingActive();

// The recorded throw site of this exception object, if it was thrown while tracking was on and is
// still among the most recent throws.
std::optional<TThrowSite> FindThrowSite(const std::exception& e);

// The stack of the caller, without the frames of this function.
TStackCapture CaptureStackHere();

// One line per frame: "[address] function (Zeile n, "folder/file.cpp")", inlined calls on lines of
// their own. Frames without any symbol keep only their address.
std::vector<std::string> RenderStackTrace(const TStackCapture& stack);

// ---- System, processor, screen -----------------------------------------------------------------

struct TScreenInfo {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
};

// "System:     <name> <type>, Version: <major>.<minor>, Build: <hex>, "<extra>"" from the contents of
// os-release and the kernel's uname fields.
std::string FormatSystemLine(std::string_view osReleaseText, std::string_view sysname,
                             std::string_view release, std::string_view version, std::string_view machine);
// "Prozessor:  <maker>, <name>, <n> MHz <MMX>< [FDIV Bug]>" from the contents of /proc/cpuinfo; the
// nominal frequency in kHz (cpufreq's base frequency) wins over the current one of cpuinfo.
std::string FormatProcessorLine(std::string_view cpuinfoText, std::optional<long> nominalKHz = std::nullopt);
// "Bildschirm: <w>x<h> pixels, <bpp> bpp"
std::string FormatScreenLine(const TScreenInfo& screen);

// The same lines from this machine's sources (os-release, uname, /proc/cpuinfo, cpufreq).
std::string SystemLine();
std::string ProcessorLine();

// ---- Loaded modules ----------------------------------------------------------------------------

struct TModuleVersion {
    std::array<unsigned, 4> Number{}; // four-part version number
    std::string Text;                 // the version as the file states it ("6.4.2")
};

struct TModuleInfo {
    std::uintptr_t LoadAddress = 0;   // where the first segment is mapped
    std::uintptr_t PreferredBase = 0; // where the file asks to be mapped (position-independent: LoadAddress)
    std::string FileName;             // full path
    std::optional<TModuleVersion> Version;
    std::string Description;
};

// The version a shared object's file name carries: "libQt6Core.so.6.4.2" gives 6.4.2.0,
// "libdw-0.188.so" gives 0.188.0.0. Nothing for a name without one.
std::optional<TModuleVersion> VersionFromFileName(std::string_view fileName);

// The modules mapped into this process, sorted by ascending load address; file names resolved
// through symbolic links, versions read from the resolved names. Empty if the list is unavailable.
std::vector<TModuleInfo> LoadedModules();

// The report lines of one module.
std::vector<std::string> FormatModuleLines(const TModuleInfo& module);

// ---- The report --------------------------------------------------------------------------------

// One control of the focus chain, innermost first.
struct TControlInfo {
    std::string ClassName;
    std::string Name;
};

// Message text as the dialog shows it: trimmed, a "." appended unless it ends with one, line breaks
// made CR LF.
std::string FormatExceptionMessage(std::string_view message);

// Date and time as the report shows them: "dd.mm.yyyy hh:nn:ss".
std::string FormatReportDateTime(TDateTime value);

// A build time stamp from the compiler's __DATE__ ("Feb 25 2008") and __TIME__ ("00:31:08").
TDateTime CompileTimeStamp(const char* date, const char* time);
// The compile time of the file that uses it; main.cpp passes it to SetBuildTimeStamp.
#define ZBPV_COMPILE_TIME_STAMP() ::zbpv::CompileTimeStamp(__DATE__, __TIME__)

// Everything shown for one exception. The message and the first detail lines are there at once;
// `TExceptionManager::CompleteReport` adds the other blocks.
struct TErrorReport {
    std::string Message;                  // UTF-8, CR LF line breaks, full stop rule applied
    std::string ClassName;                // demangled class of the exception
    std::string ThreadDescription;        // set for an exception of another thread
    const void* Address = nullptr;        // where it was thrown, when known
    std::optional<TStackCapture> Stack;   // throw site, else where it was handled
    std::vector<TControlInfo> FocusChain; // remembered when the report was started
    std::vector<std::string> DetailLines; // lines of the details box
    bool Complete = false;

    // The details lines, each ended by CR LF.
    std::string DetailsText() const;
    // The message, an empty line, then the details: what is copied and saved.
    std::string ReportText() const;
};

// ---- The report file ---------------------------------------------------------------------------

// "ERR yyyy-dd-mm hhnnss.log": the day before the month, as the report files have always been named.
std::string ErrorReportFileName(TDateTime when);
// The folder "Log" in the program's folder (not created here).
std::filesystem::path ErrorReportFolder();
// Writes the report text (replacing a file of the same name) under the current time of the clock
// and returns the full path. Raises EFileError when the folder or file cannot be written.
std::filesystem::path SaveErrorReport(std::string_view reportText);
// "Die Fehlermeldung wurde gespeichert unter:\r\n"<path>""
std::string SavedReportMessage(const std::filesystem::path& path);

// ---- The manager -------------------------------------------------------------------------------

// Called before an exception is shown; may add to the message (UTF-8) that will be shown.
using TExceptionEvent = std::function<void(void* sender, const std::exception& e, std::string& message)>;

class TExceptionManager;

// The two ways the user interface shows an exception.
class IExceptionPresenter {
public:
    virtual ~IExceptionPresenter() = default;
    // Shows the error dialog modally; returns when it is closed. The presenter completes the report
    // (manager.CompleteReport) once its window is visible.
    virtual void ShowErrorDialog(const TExceptionManager& manager, TErrorReport report) = 0;
    // The plain message box for an exception while the dialog is open.
    virtual void ShowPlainMessage(const TExceptionManager& manager, const std::string& message) = 0;
};

class TExceptionManager {
public:
    explicit TExceptionManager(std::string applicationTitle);
    ~TExceptionManager();
    TExceptionManager(const TExceptionManager&) = delete;
    TExceptionManager& operator=(const TExceptionManager&) = delete;

    // The manager of the running program (the last one created and not yet destroyed), or null.
    static TExceptionManager* Instance();

    const std::string& ApplicationTitle() const { return title_; }
    void SetApplicationTitle(std::string title) { title_ = std::move(title); }
    TDateTime BuildTimeStamp() const { return buildTimeStamp_; }
    void SetBuildTimeStamp(TDateTime stamp) { buildTimeStamp_ = stamp; }

    void SetOnException(TExceptionEvent callback) { onException_ = std::move(callback); }
    void SetScreenSource(std::function<std::optional<TScreenInfo>()> source) { screen_ = std::move(source); }
    void SetFocusChainSource(std::function<std::vector<TControlInfo>()> source) {
        focus_ = std::move(source);
    }
    void SetPresenter(IExceptionPresenter* presenter) { presenter_ = presenter; }
    IExceptionPresenter* Presenter() const { return presenter_; }

    // Routes an exception of the user-interface thread: context callback, then the dialog, or the
    // plain message box while a dialog is shown. Without a presenter the message goes to stderr.
    // EAbort is not shown at all.
    void HandleException(void* sender, const std::exception& e);
    // The same for the exception being handled now (inside a catch block), of any type.
    void HandleCurrentException(void* sender);
    // An exception of another thread, handed over to the user-interface thread; no context callback.
    void HandleThreadException(std::exception_ptr exception, std::string threadDescription);
    bool DialogShowing() const { return dialogShowing_; }

    // The report of an exception: runs the context callback, remembers the focus chain and the stack
    // and writes the first detail lines. The CLI calls it directly.
    TErrorReport StartReport(void* sender, const std::exception& e);
    // Appends header, stack, system, modules and controls blocks.
    void CompleteReport(TErrorReport& report) const;

private:
    TErrorReport StartReportWithoutContext(const std::exception& e, std::string message,
                                           std::string className, std::string threadDescription);
    void Route(TErrorReport report);

    std::string title_;
    TDateTime buildTimeStamp_;
    TExceptionEvent onException_;
    std::function<std::optional<TScreenInfo>()> screen_;
    std::function<std::vector<TControlInfo>()> focus_;
    IExceptionPresenter* presenter_ = nullptr;
    bool dialogShowing_ = false;
    TExceptionManager* previous_ = nullptr;
};

} // namespace zbpv
