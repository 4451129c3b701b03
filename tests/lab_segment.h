#ifndef CONTR_DISCOVERY_TESTS_LAB_SEGMENT_H_
#define CONTR_DISCOVERY_TESTS_LAB_SEGMENT_H_

#include <memory>
#include <string>
#include <vector>

#include "lab.h"
#include "page_model.h"

namespace testutil {

/// One node of the shared lab segment, with what a run must show for it,
/// written out here and never computed by the code under test.
struct SegmentNode {
  std::string name;
  std::string body;  // what its controller_sim sends (see `sim`)
  std::string sim;   // further controller_sim arguments, or "--no-sim"
  std::string line;  // its status line; empty when the run does not list it
  std::string cells; // its table row's cells
};

/// The segment: the computer is eth0 192.168.1.20/24; beside it stand
/// controllers of every verdict and settings shape, hostile texts, odd
/// replies, and nodes that refuse, drop, stall, flood or reset.
const std::vector<SegmentNode>& segment_nodes();

const SegmentNode& segment_node(const std::string& name);

/// What the tool shows: a menu of `items`, the entry it refuses, the line
/// of the chosen adapter and that of the chosen address.
std::string menu_text(const std::string& title, const std::vector<std::string>& items);
inline const std::string kBadEntry = "Введено не допустимое значение.";
std::string adapter_line(const std::string& name);
std::string address_line(const std::string& ip, const std::string& mask);

/// What a whole run on a segment with the computer at eth0 192.168.1.20/24
/// writes around its status lines: the chosen adapter and address, the
/// summary heading, and from the empty line after the status lines to the
/// page question.
extern const std::string kAdapterAndAddress;
extern const std::string kHeading;
extern const std::string kTail;
/// The page question, the run's last text.
extern const std::string kQuestion;

/// The segment, or the part of it named in `only`, built as a lab.
class SegmentLab {
 public:
  explicit SegmentLab(const std::vector<std::string>& only = {});
  Lab& lab() { return *lab_; }

 private:
  TempDir bodies_;
  std::unique_ptr<Lab> lab_;
};

/// Suites that work on the whole segment derive from this: built once per
/// test process and removed after the suite.
using SegmentTest = LabSuite<SegmentLab>;

}  // namespace testutil

#endif  // CONTR_DISCOVERY_TESTS_LAB_SEGMENT_H_
