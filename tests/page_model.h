#ifndef CONTR_DISCOVERY_TESTS_PAGE_MODEL_H_
#define CONTR_DISCOVERY_TESTS_PAGE_MODEL_H_

// The report page as the operator's browser must get it, its rows written
// out here and never computed by the code under test: the one page oracle
// of the unit and the lab tests. The fixed head is the code's own `s1`,
// which Html.HeadAndTail checks line by line.

#include <string>

namespace testutil {

/// The page around `rows` (each "<TR>...</TR>\n").
std::string expected_page(const std::string& rows);

/// The notes that end a row of 5 cells.
extern const std::string kUnconfigured;
extern const std::string kDiffers;

/// Only an address a controller can have gets links; any other shows the
/// same texts in plain cells.
enum class Address { kLinked, kText };

/// The cells of a controller whose settings agree (7 cells), and of one
/// whose row ends in a note (5 cells). The texts as they stand on the page.
std::string row7(Address address, const std::string& ip, bool available,
                 const std::string& name, const std::string& systems);
std::string row5(Address address, const std::string& ip, bool available,
                 const std::string& note);

}  // namespace testutil

#endif  // CONTR_DISCOVERY_TESTS_PAGE_MODEL_H_
