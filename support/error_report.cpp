#include "support/error_report.h"

#include "support/ansi.h"
#include "support/errors.h"
#include "support/format_settings.h"
#include "support/program_folder.h"

#define BACKWARD_HAS_DW 1
#include <backward.hpp>

#include <cxxabi.h>
#include <link.h>
#include <sys/utsname.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <typeinfo>

namespace zbpv {
namespace {

constexpr std::size_t kMaxFrames = 64;
constexpr std::size_t kRecentThrows = 16;

struct ThrowRecord {
    const void* object = nullptr;
    TThrowSite site;
};

std::atomic<int> gTracking{0};
std::mutex gRecentMutex;
std::deque<ThrowRecord> gRecent; // newest last
thread_local bool tInThrowHook = false;

// The stack from the frame that `returnAddress` returns into, outwards. The frames of the capture
// itself are found by that address rather than counted, as their number depends on inlining.
TStackCapture CaptureFrames(const void* returnAddress) {
    constexpr std::size_t kOwnFramesAtMost = 16;
    backward::StackTrace st;
    st.load_here(kMaxFrames + kOwnFramesAtMost);
    std::size_t first = 0;
    auto ra = reinterpret_cast<std::uintptr_t>(returnAddress);
    for (std::size_t i = 0; i < st.size() && i < kOwnFramesAtMost; ++i) {
        auto addr = reinterpret_cast<std::uintptr_t>(st[i].addr);
        if (addr == ra || addr == ra - 1) { // the unwinder points into the call instruction
            first = i;
            break;
        }
    }
    TStackCapture capture;
    capture.Taken = Now();
    for (std::size_t i = first; i < st.size() && capture.Frames.size() < kMaxFrames; ++i) {
        void* addr = st[i].addr;
        if (addr == nullptr || reinterpret_cast<std::uintptr_t>(addr) == UINTPTR_MAX)
            continue;
        capture.Frames.push_back(addr);
    }
    return capture;
}

void RecordThrow(void* object, const void* address) {
    ThrowRecord rec;
    rec.object = object;
    rec.site.Address = address;
    rec.site.Stack = CaptureFrames(address);
    // The frame's address points into the throwing call, as the trace's first line shows it.
    if (!rec.site.Stack.Frames.empty())
        rec.site.Address = rec.site.Stack.Frames.front();
    std::lock_guard lock(gRecentMutex);
    gRecent.push_back(std::move(rec));
    while (gRecent.size() > kRecentThrows)
        gRecent.pop_front();
}

std::string Hex(std::uintptr_t value, int minDigits, bool upper) {
    char buf[32];
    std::snprintf(buf, sizeof buf, upper ? "%0*llX" : "%0*llx", minDigits,
                  static_cast<unsigned long long>(value));
    return buf;
}

std::string Demangle(const char* name) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                    &std::free);
    return status == 0 && out ? std::string(out.get()) : std::string(name);
}

std::string ClassNameOf(const std::exception& e) {
    if (auto* own = dynamic_cast<const Exception*>(&e))
        return own->ClassName();
    return Demangle(typeid(e).name());
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || (len == 2 && c < 0xC2) || i + len > s.size())
            return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

// Messages of the core may carry Windows-1252 bytes (keys, file names of the old tables); what the
// user sees and the report file are UTF-8.
std::string MessageToUtf8(std::string_view raw) {
    return IsValidUtf8(raw) ? std::string(raw) : AnsiToUtf8(raw);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

// "key : value" lines of /proc/cpuinfo; the first occurrence (the first processor) wins.
std::string CpuInfoField(std::string_view text, std::string_view key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        if (TrimView(line.substr(0, colon)) == key)
            return std::string(TrimView(line.substr(colon + 1)));
    }
    return {};
}

// One value of an os-release file, unquoted.
std::string OsReleaseField(std::string_view text, std::string_view key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = TrimView(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
            continue;
        std::string_view value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            char quote = value.front();
            value = value.substr(1, value.size() - 2);
            std::string out;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (quote == '"' && value[i] == '\\' && i + 1 < value.size())
                    ++i;
                out += value[i];
            }
            return out;
        }
        return std::string(value);
    }
    return {};
}

bool HasWord(std::string_view list, std::string_view word) {
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t end = list.find_first_of(" \t", pos);
        if (end == std::string_view::npos)
            end = list.size();
        if (list.substr(pos, end - pos) == word)
            return true;
        pos = end + 1;
    }
    return false;
}

// Leading decimal numbers of a dotted text ("6.18.44-fc" gives 6, 18, 44).
std::vector<unsigned> LeadingNumbers(std::string_view text) {
    std::vector<unsigned> out;
    std::size_t i = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        unsigned long value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            value = std::min<unsigned long>(value * 10 + static_cast<unsigned>(text[i] - '0'), 0xFFFFFFFFul);
            ++i;
        }
        out.push_back(static_cast<unsigned>(value));
        if (i < text.size() && text[i] == '.')
            ++i;
        else
            break;
    }
    return out;
}

std::optional<TModuleVersion> ParseDottedVersion(std::string_view text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front())) ||
        !std::isdigit(static_cast<unsigned char>(text.back())))
        return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.')
            return std::nullopt;
    if (text.find("..") != std::string_view::npos)
        return std::nullopt;
    TModuleVersion v;
    std::vector<unsigned> numbers = LeadingNumbers(text);
    for (std::size_t i = 0; i < numbers.size() && i < 4; ++i)
        v.Number[i] = numbers[i];
    v.Text = std::string(text);
    return v;
}

int MonthOfAbbreviation(std::string_view name) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i)
        if (name == kMonths[i])
            return i + 1;
    return 1;
}

TExceptionManager* gInstance = nullptr;

} // namespace

// ---- Stack traces ------------------------------------------------------------------------------

void StartExceptionTracking() {
    gTracking.fetch_add(1);
}

void StopExceptionTracking() {
    if (gTracking.fetch_sub(1) == 1) {
        std::lock_guard lock(gRecentMutex);
        gRecent.clear();
    }
}

bool ExceptionTrackingActive() {
    return gTracking.load() > 0;
}

std::optional<TThrowSite> FindThrowSite(const std::exception& e) {
    // The hook sees the complete object; a reference to a base may point into it elsewhere.
    const void* object = dynamic_cast<const void*>(&e);
    std::lock_guard lock(gRecentMutex);
    for (auto it = gRecent.rbegin(); it != gRecent.rend(); ++it)
        if (it->object == object)
            return it->site;
    return std::nullopt;
}

__attribute__((noinline)) TStackCapture CaptureStackHere() {
    return CaptureFrames(__builtin_return_address(0));
}

std::vector<std::string> RenderStackTrace(const TStackCapture& stack) {
    std::vector<std::string> lines;
    backward::TraceResolver resolver;
    const std::string indent(19, ' ');
    auto where = [](unsigned line, const std::string& file) {
        if (file.empty())
            return std::string();
        // The last two path parts name the source well enough (folder/file.cpp).
        std::filesystem::path p(file);
        std::string shown = p.filename().string();
        if (p.has_parent_path() && p.parent_path().has_filename())
            shown = (p.parent_path().filename() / p.filename()).string();
        return " (Zeile " + std::to_string(line) + ", \"" + shown + "\")";
    };
    for (std::size_t i = 0; i < stack.Frames.size(); ++i) {
        backward::ResolvedTrace t =
            resolver.resolve(backward::ResolvedTrace(backward::Trace(stack.Frames[i], i)));
        std::string head = "[" + Hex(reinterpret_cast<std::uintptr_t>(stack.Frames[i]), 16, true) + "] ";
        std::string outer = !t.object_function.empty() ? t.object_function : t.source.function;
        if (t.inliners.empty()) {
            lines.push_back(head + (outer.empty() ? "?" : outer) + where(t.source.line, t.source.filename));
            continue;
        }
        // Innermost inlined call first, each caller's call site on the next line.
        lines.push_back(head + t.inliners[0].function + where(t.source.line, t.source.filename));
        for (std::size_t k = 1; k < t.inliners.size(); ++k)
            lines.push_back(indent + t.inliners[k].function +
                            where(t.inliners[k - 1].line, t.inliners[k - 1].filename));
        lines.push_back(indent + (outer.empty() ? "?" : outer) +
                        where(t.inliners.back().line, t.inliners.back().filename));
    }
    return lines;
}

// ---- System, processor, screen -----------------------------------------------------------------

std::string FormatSystemLine(std::string_view osReleaseText, std::string_view sysname,
                             std::string_view release, std::string_view version, std::string_view machine) {
    std::string name = OsReleaseField(osReleaseText, "PRETTY_NAME");
    if (name.empty())
        name = Trim(OsReleaseField(osReleaseText, "NAME") + " " + OsReleaseField(osReleaseText, "VERSION"));
    std::string type = Trim(std::string(sysname) + " " + std::string(machine));
    if (name.empty())
        name = std::string(sysname);
    std::vector<unsigned> numbers = LeadingNumbers(release);
    numbers.resize(3, 0);
    char buf[64];
    std::snprintf(buf, sizeof buf, ", Version: %u.%u, Build: %x, \"", numbers[0], numbers[1], numbers[2]);
    return "System:     " + name + " " + type + buf + std::string(version) + "\"";
}

std::string FormatProcessorLine(std::string_view cpuinfoText, std::optional<long> nominalKHz) {
    std::string maker = CpuInfoField(cpuinfoText, "vendor_id");
    if (maker.empty())
        maker = CpuInfoField(cpuinfoText, "CPU implementer");
    std::string name = CpuInfoField(cpuinfoText, "model name");
    if (name.empty())
        name = CpuInfoField(cpuinfoText, "cpu model");
    if (name.empty())
        name = CpuInfoField(cpuinfoText, "Hardware");
    long mhz = 0;
    if (nominalKHz && *nominalKHz > 0)
        mhz = std::lround(static_cast<double>(*nominalKHz) / 1000.0);
    else if (std::string cur = CpuInfoField(cpuinfoText, "cpu MHz"); !cur.empty())
        mhz = std::lround(std::strtod(cur.c_str(), nullptr));
    std::string flags = CpuInfoField(cpuinfoText, "flags");
    bool mmx = HasWord(flags, "mmx");
    bool fdiv = CpuInfoField(cpuinfoText, "fdiv_bug") == "yes";
    return "Prozessor:  " + maker + ", " + name + ", " + std::to_string(mhz) + " MHz " + (mmx ? "MMX" : "") +
           (fdiv ? " [FDIV Bug]" : "");
}

std::string FormatScreenLine(const TScreenInfo& screen) {
    return "Bildschirm: " + std::to_string(screen.Width) + "x" + std::to_string(screen.Height) + " pixels, " +
           std::to_string(screen.BitsPerPixel) + " bpp";
}

std::string SystemLine() {
    std::string osRelease = ReadFile("/etc/os-release");
    if (osRelease.empty())
        osRelease = ReadFile("/usr/lib/os-release");
    utsname u{};
    if (uname(&u) != 0)
        return FormatSystemLine(osRelease, "", "", "", "");
    return FormatSystemLine(osRelease, u.sysname, u.release, u.version, u.machine);
}

std::string ProcessorLine() {
    std::optional<long> nominal;
    std::string base = ReadFile("/sys/devices/system/cpu/cpu0/cpufreq/base_frequency");
    if (base.empty())
        base = ReadFile("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
    if (!base.empty())
        nominal = std::strtol(base.c_str(), nullptr, 10);
    return FormatProcessorLine(ReadFile("/proc/cpuinfo"), nominal);
}

// ---- Loaded modules ----------------------------------------------------------------------------

std::optional<TModuleVersion> VersionFromFileName(std::string_view fileName) {
    std::size_t slash = fileName.find_last_of('/');
    std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    if (std::size_t so = base.find(".so."); so != std::string_view::npos)
        return ParseDottedVersion(base.substr(so + 4));
    if (base.size() > 3 && base.substr(base.size() - 3) == ".so") {
        std::string_view stem = base.substr(0, base.size() - 3);
        std::size_t dash = stem.find_last_of('-');
        if (dash != std::string_view::npos)
            return ParseDottedVersion(stem.substr(dash + 1));
    }
    return std::nullopt;
}

std::vector<TModuleInfo> LoadedModules() {
    std::vector<TModuleInfo> modules;
    auto collect = [](dl_phdr_info* info, size_t, void* data) -> int {
        auto& out = *static_cast<std::vector<TModuleInfo>*>(data);
        std::uintptr_t lowest = UINTPTR_MAX;
        for (int i = 0; i < info->dlpi_phnum; ++i)
            if (info->dlpi_phdr[i].p_type == PT_LOAD)
                lowest =
                    std::min<std::uintptr_t>(lowest, info->dlpi_phdr[i].p_vaddr & ~std::uintptr_t(0xFFF));
        if (lowest == UINTPTR_MAX)
            return 0;
        TModuleInfo m;
        m.LoadAddress = info->dlpi_addr + lowest;
        // A position-independent object (first segment at 0) asks for no address, so only a file
        // linked for a fixed address can have been moved away from it.
        m.PreferredBase = lowest != 0 ? lowest : m.LoadAddress;
        m.FileName = info->dlpi_name ? info->dlpi_name : "";
        if (m.FileName.empty() && out.empty()) {
            std::error_code ec;
            m.FileName = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        }
        if (m.FileName.empty())
            return 0;
        out.push_back(std::move(m));
        return 0;
    };
    dl_iterate_phdr(collect, &modules);
    for (TModuleInfo& m : modules) {
        // Only a file on disk says its version; the kernel's vDSO has a name but no file.
        if (m.FileName.find('/') == std::string::npos)
            continue;
        std::error_code ec;
        std::filesystem::path real = std::filesystem::canonical(m.FileName, ec);
        if (ec)
            continue;
        m.FileName = real.string();
        m.Version = VersionFromFileName(m.FileName);
    }
    std::sort(modules.begin(), modules.end(),
              [](const TModuleInfo& a, const TModuleInfo& b) { return a.LoadAddress < b.LoadAddress; });
    return modules;
}

std::vector<std::string> FormatModuleLines(const TModuleInfo& module) {
    std::vector<std::string> lines;
    lines.push_back("[" + Hex(module.LoadAddress, 8, false) + "] " + module.FileName);
    std::string prefix = module.PreferredBase != module.LoadAddress
                             ? "<" + Hex(module.PreferredBase, 8, false) + "> "
                             : std::string(11, ' ');
    if (module.Version) {
        const auto& n = module.Version->Number;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", n[0], n[1], n[2], n[3]);
        lines.push_back(prefix + buf + " - " + module.Version->Text);
        if (!module.Description.empty())
            lines.push_back(std::string(11, ' ') + module.Description);
    } else {
        lines.push_back(prefix + "(keine Versionsinformationen)");
    }
    return lines;
}

// ---- The report --------------------------------------------------------------------------------

std::string FormatExceptionMessage(std::string_view message) {
    std::string text = Trim(message);
    if (text.empty() || text.back() != '.')
        text += '.';
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string FormatReportDateTime(TDateTime value) {
    const FormatSettings& fs = GlobalFormatSettings();
    return FormatDateTime(fs.shortDateFormat + " " + fs.longTimeFormat, value, fs);
}

TDateTime CompileTimeStamp(const char* date, const char* time) {
    // __DATE__ is "Mmm dd yyyy" (day padded with a blank), __TIME__ "hh:mm:ss".
    std::string_view d(date ? date : "");
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    if (d.size() >= 11) {
        month = MonthOfAbbreviation(d.substr(0, 3));
        day = std::atoi(std::string(d.substr(4, 2)).c_str());
        year = std::atoi(std::string(d.substr(7, 4)).c_str());
    }
    if (time && std::sscanf(time, "%d:%d:%d", &hour, &minute, &second) != 3)
        hour = minute = second = 0;
    TDateTime out = 0;
    if (!TryEncodeDate(year, month, day, out))
        return 0;
    TDateTime t = 0;
    if (TryEncodeTime(hour, minute, second, 0, t))
        out += t;
    return out;
}

std::string TErrorReport::DetailsText() const {
    std::string out;
    for (const std::string& line : DetailLines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string TErrorReport::ReportText() const {
    std::string out = Message;
    if (out.size() < 4 || out.compare(out.size() - 4, 4, "\r\n\r\n") != 0)
        out += "\r\n\r\n";
    return out + DetailsText();
}

// ---- The report file ---------------------------------------------------------------------------

std::string ErrorReportFileName(TDateTime when) {
    return FormatDateTime("\"ERR \"yyyy-dd-mm hhnnss\".log\"", when, FormatSettings::German());
}

std::filesystem::path ErrorReportFolder() {
    return ProgramFolder() / "Log";
}

std::filesystem::path SaveErrorReport(std::string_view reportText) {
    std::filesystem::path folder = ErrorReportFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        throw EFileError("Der Ordner \"" + folder.string() + "\" kann nicht angelegt werden.");
    std::filesystem::path file = folder / ErrorReportFileName(Now());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reportText.data(), static_cast<std::streamsize>(reportText.size()));
    out.close();
    if (!out)
        throw EFileError("Die Datei \"" + file.string() + "\" kann nicht geschrieben werden.");
    return file;
}

std::string SavedReportMessage(const std::filesystem::path& path) {
    return "Die Fehlermeldung wurde gespeichert unter:\r\n\"" + path.string() + "\"";
}

// ---- The manager -------------------------------------------------------------------------------

TExceptionManager::TExceptionManager(std::string applicationTitle)
    : title_(std::move(applicationTitle)), buildTimeStamp_(ZBPV_COMPILE_TIME_STAMP()) {
    previous_ = gInstance;
    gInstance = this;
    StartExceptionTracking();
}

TExceptionManager::~TExceptionManager() {
    StopExceptionTracking();
    if (gInstance == this)
        gInstance = previous_;
}

TExceptionManager* TExceptionManager::Instance() {
    return gInstance;
}

TErrorReport TExceptionManager::StartReport(void* sender, const std::exception& e) {
    std::string message = MessageToUtf8(e.what());
    if (onException_)
        onException_(sender, e, message);
    return StartReportWithoutContext(e, std::move(message), ClassNameOf(e), {});
}

TErrorReport TExceptionManager::StartReportWithoutContext(const std::exception& e, std::string message,
                                                          std::string className,
                                                          std::string threadDescription) {
    TErrorReport r;
    r.Message = FormatExceptionMessage(message);
    r.ClassName = std::move(className);
    r.ThreadDescription = std::move(threadDescription);
    if (std::optional<TThrowSite> site = FindThrowSite(e)) {
        r.Address = site->Address;
        r.Stack = std::move(site->Stack);
    } else {
        // Thrown outside the program's own code (inside a library): the handling site is the
        // best stack there is.
        r.Stack = CaptureStackHere();
    }
    if (focus_)
        r.FocusChain = focus_();
    r.DetailLines.push_back("Exception Klasse: " + r.ClassName);
    if (!r.ThreadDescription.empty())
        r.DetailLines.push_back("Thread: " + r.ThreadDescription);
    else
        r.DetailLines.push_back("Exception Adresse: " +
                                Hex(reinterpret_cast<std::uintptr_t>(r.Address), 16, true));
    r.DetailLines.push_back(kReportSeparator);
    return r;
}

void TExceptionManager::CompleteReport(TErrorReport& report) const {
    if (report.Complete)
        return;
    auto& out = report.DetailLines;
    out.push_back(title_ + " vom " + FormatReportDateTime(buildTimeStamp_));
    out.push_back(kReportSeparator);

    if (report.Stack && !report.Stack->Frames.empty()) {
        out.push_back("Stackliste, erzeugt am " + FormatReportDateTime(report.Stack->Taken));
        for (std::string& line : RenderStackTrace(*report.Stack))
            out.push_back(std::move(line));
        out.push_back(kReportSeparator);
    }

    out.push_back(SystemLine());
    out.push_back(ProcessorLine());
    if (std::optional<TScreenInfo> screen = screen_ ? screen_() : std::nullopt)
        out.push_back(FormatScreenLine(*screen));
    out.push_back(kReportSeparator);

    if (std::vector<TModuleInfo> modules = LoadedModules(); !modules.empty()) {
        out.push_back("Liste geladener Module:");
        for (const TModuleInfo& m : modules)
            for (std::string& line : FormatModuleLines(m))
                out.push_back(std::move(line));
        out.push_back(kReportSeparator);
    }

    if (!report.FocusChain.empty()) {
        out.push_back("Hierarchie aktiver Controls:");
        for (const TControlInfo& c : report.FocusChain)
            out.push_back(c.ClassName + " \"" + c.Name + "\"");
        out.push_back(kReportSeparator);
    }
    report.Complete = true;
}

void TExceptionManager::Route(TErrorReport report) {
    if (!presenter_) {
        std::cerr << report.Message << std::endl;
        return;
    }
    struct ShowingFlag {
        bool& flag;
        explicit ShowingFlag(bool& f) : flag(f) { flag = true; }
        ~ShowingFlag() { flag = false; }
    } showing(dialogShowing_);
    presenter_->ShowErrorDialog(*this, std::move(report));
}

void TExceptionManager::HandleException(void* sender, const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e))
        return;
    std::string message = MessageToUtf8(e.what());
    if (onException_)
        onException_(sender, e, message);
    if (dialogShowing_) {
        if (presenter_)
            presenter_->ShowPlainMessage(*this, FormatExceptionMessage(message));
        return;
    }
    Route(StartReportWithoutContext(e, std::move(message), ClassNameOf(e), {}));
}

void TExceptionManager::HandleCurrentException(void* sender) {
    std::exception_ptr current = std::current_exception();
    if (!current)
        return;
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& e) {
        HandleException(sender, e);
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        std::string className = type ? Demangle(type->name()) : std::string("?");
        std::runtime_error unknown("Unbekannter Fehler (Ausnahme vom Typ " + className + ")");
        std::string message = unknown.what();
        if (onException_)
            onException_(sender, unknown, message);
        if (dialogShowing_) {
            if (presenter_)
                presenter_->ShowPlainMessage(*this, FormatExceptionMessage(message));
            return;
        }
        Route(StartReportWithoutContext(unknown, std::move(message), std::move(className), {}));
    }
}

void TExceptionManager::HandleThreadException(std::exception_ptr exception, std::string threadDescription) {
    if (!exception)
        return;
    std::string message;
    try {
        std::rethrow_exception(exception);
    } catch (const EAbort&) {
        return;
    } catch (const std::exception& e) {
        message = MessageToUtf8(e.what());
        if (dialogShowing_) {
            if (presenter_)
                presenter_->ShowPlainMessage(*this, FormatExceptionMessage(message));
            return;
        }
        Route(StartReportWithoutContext(e, std::move(message), ClassNameOf(e), std::move(threadDescription)));
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        std::string className = type ? Demangle(type->name()) : std::string("?");
        std::runtime_error unknown("Unbekannter Fehler (Ausnahme vom Typ " + className + ")");
        if (dialogShowing_) {
            if (presenter_)
                presenter_->ShowPlainMessage(*this, FormatExceptionMessage(unknown.what()));
            return;
        }
        Route(StartReportWithoutContext(unknown, unknown.what(), std::move(className),
                                        std::move(threadDescription)));
    }
}

} // namespace zbpv

// The link step renames every `throw` of the program's code to this function (ld --wrap), so the
// throw site's stack is recorded before unwinding destroys it. Must be extern "C" at global scope.
extern "C" {
[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*));

[[noreturn]] __attribute__((noinline)) void __wrap___cxa_throw(void* object, std::type_info* type,
                                                               void (*destroy)(void*)) {
    if (zbpv::gTracking.load(std::memory_order_relaxed) > 0 && !zbpv::tInThrowHook) {
        zbpv::tInThrowHook = true;
        try {
            zbpv::RecordThrow(object, __builtin_return_address(0));
        } catch (...) {
            // Without memory for the record the exception still goes on, only without its stack.
        }
        zbpv::tInThrowHook = false;
    }
    __real___cxa_throw(object, type, destroy);
}
}
