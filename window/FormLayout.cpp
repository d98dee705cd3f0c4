#include "window/FormLayout.h"

namespace vx {

namespace {

using K = ControlKind;

std::vector<ControlLayout> BuildLayout() {
    std::vector<ControlLayout> l = {
        {"lblFile", -1, K::Label, "", "File &Name:", 240, 240, 915, 255, 0},
        {"txtFileName", -1, K::TextBox, "", "", 1140, 180, 6615, 315, 1},
        {"cmdFile", -1, K::Button, "", "...", 7920, 180, 315, 315, 2},
        {"lblTimes", 0, K::Label, "", "&Available Times:", 2580, 660, 1875, 255, 3},
        {"lstAvailable", -1, K::ListBox, "", "", 2520, 960, 2145, 2010, 4},
        {"lblTimes", 1, K::Label, "", "Selected &Times:", 4860, 660, 1875, 255, 5},
        {"lstSelected", -1, K::ListBox, "", "", 4800, 960, 2145, 2010, 6},
        {"cmdDelete", -1, K::Button, "", "&Delete", 7140, 960, 1095, 345, 7},
        {"cmdClear", -1, K::Button, "", "&Clear", 7140, 1380, 1095, 345, 8},
        // Plot stands in the free part of the button column, below Clear as Clear stands
        // below Delete.
        {"cmdPlot", -1, K::Button, "", "&Plot", 7140, 1800, 1095, 345, 9},
        {"fraVariables", -1, K::Frame, "", "Available Variables", 2520, 3060, 4455, 1245, 10},
        {"lblVariables", 0, K::Label, "fraVariables", "Select &Variable:", 180, 360, 1425, 255, 11},
        {"cboVariables", -1, K::ComboBox, "fraVariables", "", 1560, 300, 2670, 315, 12},
        {"lblVariables", 1, K::Label, "fraVariables", "Select Vecto&r:", 180, 780, 1365, 255, 13},
        {"cboVectors", -1, K::ComboBox, "fraVariables", "", 1560, 720, 2670, 315, 14},
        {"fraVectors", -1, K::Frame, "", "Nodes", 2520, 4380, 4455, 1065, 15},
        {"lblVectors", 0, K::Label, "fraVectors", "&From:", 180, 480, 435, 255, 16},
        {"txtVectors", 0, K::TextBox, "fraVectors", "1", 660, 420, 855, 315, 17},
        {"lblVectors", 1, K::Label, "fraVectors", "&To:", 1680, 480, 435, 255, 18},
        {"txtVectors", 1, K::TextBox, "fraVectors", "1", 1980, 420, 855, 315, 19},
        {"lblVectors", 2, K::Label, "fraVectors", "St&ep:", 2940, 480, 435, 255, 20},
        {"txtVectors", 2, K::TextBox, "fraVectors", "1", 3360, 420, 855, 315, 21},
        {"cmdSave", -1, K::Button, "", "&Save", 7140, 4230, 1095, 345, 22},
        {"cmdClose", -1, K::Button, "", "Cl&ose", 7140, 4650, 1095, 345, 23},
        {"lstHidden", -1, K::ListBox, "", "", 180, 5400, 1935, 2205, 24},
        {"fraSummary", -1, K::Frame, "", "Summary", 180, 660, 2175, 3615, 25},
        {"fraTime", -1, K::Frame, "", "Time Written", 180, 4380, 2175, 1065, 26},
        {"optTime", 0, K::OptionButton, "fraTime", "&In Rows", 240, 360, 1275, 195, 27},
        {"optTime", 1, K::OptionButton, "fraTime", "In Colu&mns", 240, 720, 1275, 195, 28},
        {"picProgress", -1, K::PictureBox, "", "", 7080, 2520, 1095, 255, 30},
        {"cmdHelp", -1, K::Button, "", "&Help", 7140, 5070, 1095, 345, 31},
    };
    // The summary rows: a caption and a value label per row, evenly spaced from 300 to
    // 3240 twips.
    static constexpr std::string_view kCaptions[10] = {
        "Version:", "Analysis:", "Problem:", "Nodes:", "Solids:",
        "Trusses:", "Beams:",    "Shells:",  "Soils:", "Fibers:"};
    static constexpr std::string_view kValues[10] = {
        "lblVersion", "lblAnalysis", "lblProblem", "lblNodes", "lblSolids",
        "lblTrusses", "lblBeams",    "lblShells",  "lblSoils", "lblFibers"};
    for (int i = 0; i < 10; ++i) {
        int top = 300 + (2940 * i + 4) / 9;
        l.push_back({"lblSummary", i, K::Label, "fraSummary", kCaptions[i], 240, top, 735, 255,
                     32 + 2 * i});
        l.push_back({kValues[i], -1, K::Label, "fraSummary", "", 1080, top, 975, 255, 33 + 2 * i});
    }
    return l;
}

}  // namespace

const std::vector<ControlLayout>& FormLayout() {
    static const std::vector<ControlLayout> layout = BuildLayout();
    return layout;
}

const ControlLayout* FindLayout(std::string_view name, int index) {
    for (const auto& c : FormLayout())
        if (c.Name == name && c.Index == index) return &c;
    return nullptr;
}

}  // namespace vx
