// Any bytes as a listing: identification, header and both scans, then what the window
// shows from the model (summary rows and offered variables).

#include <cstddef>
#include <cstdint>

#include "extraction/Variables.h"
#include "fuzz/FuzzSupport.h"
#include "reader/FileSummary.h"
#include "reader/Reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vx;
    static fuzz::MemoryFile file("listing.out");
    OutputFileModel model;
    model.FilePath = file.Set({reinterpret_cast<const char*>(data), size});
    model.Reset();
    fuzz::Host host;
    auto services = host.Get();
    ReadOutputFile(model, services);
    fuzz::CheckModel(model, fuzz::ListingSize(model.FilePath));
    // Every way out of the reader but a clean scan shows exactly one message.
    VX_FUZZ_CHECK(host.MessageCount <= 1);

    for (const auto& row : SummaryRows(model)) VX_FUZZ_CHECK(!row.Caption.empty());
    // A listing may state a negative count; the bound then refuses every range, as it
    // should, so only its agreement with the catalogue is checked.
    for (const auto& offered : OfferedVariables(model)) {
        OfferedVariable again;
        VX_FUZZ_CHECK(DescribeVariable(offered.Name, model, again));
        VX_FUZZ_CHECK(again.Bound == UpperBound(offered.Name, model));
    }
    return 0;
}
