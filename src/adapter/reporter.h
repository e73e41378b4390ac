// Where the library's printed lines go. The fifteen native methods pass the printing reporter
// down, so that every layer prints exactly the lines they always printed; the typed library
// passes the silent one, so that the same protocols print nothing.
#pragma once

class Reporter {
  public:
    explicit constexpr Reporter(bool prints) : prints_(prints) {}

    // printf to standard output when printing.
    void Line(const char *format, ...) const __attribute__((format(printf, 2, 3)));

    // fflush(stdout) when printing.
    void Flush() const;

  private:
    bool prints_;
};

inline constexpr Reporter kPrintingReporter{true};
inline constexpr Reporter kSilentReporter{false};
