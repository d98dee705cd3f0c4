#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/Outcome.h"
#include "extraction/ExtractionRequest.h"
#include "extraction/ValueTable.h"
#include "reader/LineReader.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"

// The extraction: the values of one request read from the listing into a value table,
// one column per selected time step, each step reached by one seek to its position.
// Failures end the reading; they are shown as "N: description" without an icon and
// returned; what was read before stays in the table, the rest is 0.
namespace vx {

// Reads the values of a request: the temperatures of a thermal listing or one structural
// variable, on worker threads, reporting progress. Writes no file. The outcome says
// Stopped when the user asked to stop meanwhile (the table then holds the columns read
// before); a listing of another kind reads nothing.
Outcome ExtractValues(const OutputFileModel& model, const ExtractionRequest& request,
                      ValueTable& table, Services& services);

// Reads requests that differ in nothing but the vector kind (one variable, the same items
// and steps: the sheets of one export, the kinds of one reduction) into tables[k], in one
// reading of the listing: each step's bytes are read from the file once and each kind
// reads its column from them exactly as ExtractValues would read it alone, up to its own
// failure (its columns after it are zero). Shows nothing: outcome k holds the notice
// ExtractValues would have shown for request k, for the caller to show in its turn.
// Requests that do not share a reading are read one after the other.
std::vector<Outcome> ExtractKinds(const OutputFileModel& model,
                                  std::span<const ExtractionRequest> requests,
                                  std::span<ValueTable> tables, Services& services);

// Several requests of one listing (any variables and vector kinds, each with its own
// items; their selected times are not looked at) read one step at a time through one line
// reader: each step's bytes are read from the file once for them all, and each request
// reads its values from them exactly as its own extraction reads that step, up to its own
// first failure (its values are 0 from there on).
class StepValues {
public:
    // `shared`: bytes the reader takes from memory where they are held (a scan just read
    // them), or null.
    StepValues(const OutputFileModel& model, std::vector<ExtractionRequest> requests,
               int vectorLevel, SharedBytes* shared = nullptr);
    ~StepValues();
    StepValues(const StepValues&) = delete;
    StepValues& operator=(const StepValues&) = delete;

    // The values of a step: the requests' items, request after request.
    std::size_t Count() const;
    // Where request k's values begin among them.
    std::size_t Offset(std::size_t k) const;

    // A request's reading that failed: the notice its extraction would show.
    struct Failed {
        std::size_t Request;
        Notice What;
    };
    // Reads step `step` (1-based) of every request still read into `values` (Count() of
    // them). Returns the requests that failed at this step, in order.
    std::vector<Failed> Read(std::int16_t step, std::span<float> values);
    // Request k's table after a Read: its one column is the column its own extraction
    // reads for that step (what was read up to a failure at that step; zeros once it
    // failed at an earlier one).
    const ValueTable& Table(std::size_t k) const;

private:
    struct Reading;
    std::unique_ptr<Reading> m_reading;
};

// Whether step `step` holds every block the listing's first step holds (every variable and
// vector kind offered), each with every record line the counts call for, the last of them
// ended: a step VORAX has finished writing, even when no later step has begun. A step
// followed by another's time line is complete. `held`: bytes of the listing a reading
// just read (ListingPass::Bytes), taken from there rather than read again.
bool StepIsComplete(const OutputFileModel& model, std::int16_t step, SharedBytes* held = nullptr);

// A request that reaches into a step cut short (the last step, not complete): the step and
// the first item of the request, in its order, whose record that step does not hold whole.
struct CutShort {
    std::int16_t Step = 0;
    std::int16_t Item = 0;
};
std::optional<CutShort> RequestCutShort(const OutputFileModel& model,
                                        const ExtractionRequest& request,
                                        SharedBytes* held = nullptr);
// What a door warns of it: "step 7 (time 420) is not complete in the listing: Node 12 of it
// is not written yet (nor what follows)".
std::string CutShortText(const OutputFileModel& model, const ExtractionRequest& request,
                         const CutShort& cut);

// Reads one structural result variable for every selected time step into `table`:
// for each step one seek to its position, a search for the variable's block header,
// then the whole block, record line after record line (row r = the r-th record; the
// node or element number printed on the line is never read).
//
// "Beam Stresses" and "Beam Tangent Modulus" offer one vector kind per block of the
// first time step, in file order. Entry k (0-based) reads the (k+1)-th block of that
// kind counted from the step's position, so each entry keeps reading the same beam
// point in every step as long as the listing prints the blocks in the same order.
Outcome ReadStructuralValues(const OutputFileModel& model, const ExtractionRequest& request,
                             ValueTable& table, Services& services);

// Reads the temperature of every node at each selected time step into `table`.
Outcome ReadTemperatures(const OutputFileModel& model, const ExtractionRequest& request,
                         ValueTable& table, Services& services);

}  // namespace vx
