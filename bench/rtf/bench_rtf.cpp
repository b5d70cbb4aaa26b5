// Converts a large RTF document as rich-edit controls write it (formatted paragraphs, headings,
// bullet and numbered lists, a table, pictures) and prints the throughput in MB/s.
// Usage: bench_rtf [megabytes, default 8] [rounds, default 5]

#include "textconv/rtf_to_html.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

std::string Section(int n) {
    std::string s;
    const std::string num = std::to_string(n);
    s += "\\pard\\s1\\sb240\\sa60\\keepn\\b\\f1\\fs28 Abschnitt " + num + "\\par\r\n";
    s += "\\pard\\plain\\f0\\fs20 Sehr geehrte Damen und Herren,\\par\r\n";
    s += "\\pard\\fs20 wir best\\'e4tigen Ihre Bestellung vom " + num +
         ". M\\'e4rz und liefern die Ware {\\b fristgerecht} an Ihre Anschrift in "
         "{\\i M\\'fcnchen}. Bei R\\'fcckfragen erreichen Sie uns unter http://www.example.de/kontakt, "
         "per Telefon oder {\\cf2 per E-Mail}.\\par\r\n";
    s += "\\pard\\qc\\cf1\\b Wichtiger Hinweis\\cf0\\b0\\par\r\n";
    s += "\\pard{\\pntext\\f2\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf2\\pnindent0{\\pntxtb\\'b7}}\\fi-720\\li720 "
         "Artikel eins mit {\\ul Unterstreichung}\\par\r\n{\\pntext\\f2\\'b7\\tab}Artikel zwei\\par\r\n"
         "{\\pntext\\f2\\'b7\\tab}Artikel drei \\ldblquote zitiert\\rdblquote\\par\r\n";
    s += "\\pard{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pndec{\\pntxta.}}"
         "\\fi-360\\li360 Erster Schritt\\par\r\n{\\pntext\\f0 2.\\tab}Zweiter Schritt\\par\r\n"
         "{\\pntext\\f0 3.\\tab}Dritter Schritt\\par\r\n";
    s += "\\pard\\par\r\n";
    for (int row = 0; row < 3; ++row) {
        s += "\\trowd\\trgaph70\\trleft-70\\cellx2000\\cellx4000\\cellx6000\\cellx8000\\pard\\intbl ";
        for (int cell = 0; cell < 4; ++cell)
            s += (row == 0 ? "{\\b Spalte " : "{Wert ") + std::to_string(cell) + "}\\cell ";
        s += "\\row\r\n";
    }
    s += "\\pard\\f0\\fs20 Mit freundlichen Gr\\'fc\\'dfen\\par\r\n";
    if (n % 4 == 0) {
        s += "{\\pict\\wmetafile8\\picw2000\\pich1000\\picwgoal1134\\pichgoal567 \r\n";
        for (int line = 0; line < 32; ++line) {
            for (int k = 0; k < 64; ++k)
                s += "0a";
            s += "\r\n";
        }
        s += "}\\par\r\n";
    }
    return s;
}

std::string Document(size_t bytes) {
    std::string doc =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
        "{\\f1\\fswiss\\fprq2\\fcharset0 Verdana;}{\\f2\\fnil\\fcharset2 Symbol;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
        "{\\stylesheet{\\ql \\li0\\ri0\\widctlpar\\f0\\fs20\\lang1031 \\snext0 Normal;}"
        "{\\s1\\ql\\sb240\\sa60\\keepn\\b\\f1\\fs28\\sbasedon0 \\snext0 heading 1;}"
        "{\\*\\cs10 \\additive Default Paragraph Font;}}\r\n"
        "\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    for (int n = 1; doc.size() < bytes; ++n)
        doc += Section(n);
    doc += "}\r\n";
    return doc;
}

} // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 8.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string rtf = Document(size_t(megabytes * 1024 * 1024));
    std::string html;
    double best = 1e100, bestCpu = 1e100;
    for (int r = 0; r < rounds; ++r) {
        std::timespec cpu0, cpu1;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
        auto start = std::chrono::steady_clock::now();
        zbpv::RtfTextToHtml(rtf, html);
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
        best = std::min(best, took.count());
        bestCpu =
            std::min(bestCpu, double(cpu1.tv_sec - cpu0.tv_sec) + 1e-9 * double(cpu1.tv_nsec - cpu0.tv_nsec));
    }
    const double mb = double(rtf.size()) / (1024.0 * 1024.0);
    // Wall-clock time counts waiting for a busy machine's cores; CPU time shows the converter alone.
    std::printf("RTF %.1f MB -> HTML %.1f MB, best of %d: %.3f s wall, %.1f MB/s; %.3f s CPU, %.1f MB/s\n",
                mb, double(html.size()) / (1024.0 * 1024.0), rounds, best, mb / best, bestCpu, mb / bestCpu);
    return 0;
}
