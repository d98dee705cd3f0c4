#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Outcome.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"

// Two listings compared value by value, as a regression check of one run against another:
// steps matched by number, items by number, every value pair judged against a tolerance.
namespace vx {

// Two values a and b agree when |a - b| <= Absolute + Relative * max(|a|, |b|).
struct Tolerance {
    double Relative = 0;
    double Absolute = 0;
};

bool Agree(double a, double b, const Tolerance& tolerance);
// The difference measured against the tolerance, |a - b| / (Absolute + Relative * max(|a|,
// |b|)); the difference itself when both tolerances are 0; 0 for 0 / 0.
double Measure(double a, double b, const Tolerance& tolerance);
// |a - b| / max(|a|, |b|), 0 where both are 0.
double RelativeDifference(double a, double b);

// How far apart the values of one line of the comparison are: the largest differences,
// and the place where the difference measured against the tolerance is largest (the first
// such place in the order the values are added).
struct Differences {
    std::int64_t Compared = 0;
    double MaxAbs = 0;
    double MaxRel = 0;
    double Worst = 0;  // the largest measure
    std::int32_t Item = 0, Step = 0;
    float Time = 0, A = 0, B = 0;
    bool Agree = true;

    void Add(float a, float b, std::int32_t item, std::int32_t step, float time,
             const Tolerance& tolerance);
};

// One line of the comparison: the times of the matched steps, or one variable and vector
// kind.
struct ComparedLine {
    std::string Variable;  // "Times" for the times' line
    std::string Vector;    // the vector kind's text; empty for none (and for the times)
    bool IsTimes = false;
    std::int32_t Items = 0;  // items compared (0 for the times)
    std::int32_t Steps = 0;  // steps compared
    Differences Found;
};

struct Comparison {
    // Differences of structure, a line each: analysis type, dimensions, counts, variables
    // and vector kinds offered by one listing only.
    std::vector<std::string> Structure;
    // The times first, then the variables and kinds in A's order.
    std::vector<ComparedLine> Lines;
    bool Agree() const;
};

// What to compare: the variables named (none: every variable), with which tolerance.
struct CompareRequest {
    std::vector<std::string> Variables;
    Tolerance Within;
};

// Why a comparison cannot be run: a variable named that neither listing offers.
struct CompareRefusal {
    std::string Reason;
};

// The variables and vector kinds both listings offer (of those named), in A's order, each
// a line whose values are yet to be compared; the differences of structure found so far.
// A refusal when a named variable is offered by neither.
std::optional<CompareRefusal> PlanComparison(const OutputFileModel& a, const OutputFileModel& b,
                                             const CompareRequest& request, Comparison& plan);

// Compares the planned lines value by value: steps 1 to the smaller step count, items 1 to
// the smaller bound, both listings read side by side (on two threads where the machine
// has two processors), each once, a batch of steps at a time, so that memory does not grow
// with the steps. A failure of either reading is shown (A's first) and ends the comparison;
// the lines are then incomplete. A stop asked for ends it quietly (Stopped).
Outcome RunComparison(const OutputFileModel& a, const OutputFileModel& b,
                      const CompareRequest& request, Comparison& comparison, Services& services);

// Two listings compared from their paths, each read once: its scan and the values of its
// steps in one reading, both listings side by side, the steps compared as both have read
// them, so that memory does not grow with the steps.
struct ListingsCompared {
    OutputFileModel A, B;  // as opening each gives it
    // The scans' messages, A's then B's, shown as they would be on opening each.
    Outcome Read;
    // When neither scan failed: a variable named that neither offers, else the comparison
    // (its structure and lines) ...
    std::optional<CompareRefusal> Refused;
    Comparison Result;
    // ... and the first failure of each listing's values (A's, then B's) among the lines
    // and steps compared, not shown: when there is one, the lines are incomplete.
    std::vector<Notice> Failures;
};
Outcome CompareListings(const std::string& a, const std::string& b, const CompareRequest& request,
                        ListingsCompared& compared, Services& services);

}  // namespace vx
