#pragma once
// What a run needs of its front end: questions and messages, counters and the key display. The desktop
// wizard answers with message boxes and labels, the command line with flags and progress lines.

#include <string>

namespace zbpv {

enum class TMsgIcon { Information, Question, Warning, Error };
enum class TMsgAnswer { Yes, No, Cancel, Ok };

struct TQuestion {
    // Short name of the question for answers given in advance ("empty-addresses").
    std::string Name;
    // UTF-8; lines joined by CR LF; may carry "<B>" mark-up (a bold first paragraph is the headline).
    std::string Text;
    TMsgIcon Icon = TMsgIcon::Question;
    bool WithCancel = false;
    TMsgAnswer Default = TMsgAnswer::No;
};

class IRunPrompts {
public:
    virtual ~IRunPrompts() = default;
    virtual TMsgAnswer Ask(const TQuestion& question) = 0;
    virtual void ShowInformation(const std::string& title, const std::string& text) = 0;
};

// Counter panels and labels by their names ("panKun", "panKunAnz", "lblKunPass").
class IRunProgress {
public:
    virtual ~IRunProgress() = default;
    // The counter panel (may be empty) shows 0 and becomes the current one; the total panel (may be
    // empty) shows the total.
    virtual void StartCounter(const std::string& counterPanel, const std::string& totalPanel,
                              long long total) = 0;
    // One more on the named panel, or on the current one when the name is empty.
    virtual void StepCounter(const std::string& panel) = 0;
    // Shows a total on a panel without touching the current counter.
    virtual void ShowTotal(const std::string& totalPanel, long long total) = 0;
    virtual void ShowPassLabel(const std::string& label) = 0;
    // The key of the record being read; empty clears it.
    virtual void ImportKeyProgress(const std::string& key) = 0;
    // Lets the front end handle pending events.
    virtual void ProcessMessages() = 0;
    // A step begins ("" when the run is over); the counts shown so far are final.
    virtual void StepStarted(const std::string& /*step*/) {}
    // The hourglass cursor; uses may nest, and the last EndBusy restores the cursor shown before the
    // first BeginBusy. A front end without a cursor leaves them empty.
    virtual void BeginBusy() {}
    virtual void EndBusy() {}
};

// The hourglass for a scope, restored however the scope is left.
class THourglass {
public:
    explicit THourglass(IRunProgress& progress) : progress_(progress) { progress_.BeginBusy(); }
    ~THourglass() { progress_.EndBusy(); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    IRunProgress& progress_;
};

} // namespace zbpv
