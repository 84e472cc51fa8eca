// Putting a written file in the place of its target.
#include <cstdint>
#include <string>
#include <vector>

#include "pack/io/pack_error.h"
#include "pack/io/put_in_place.h"
#include "tests/pack/cli/pack_tool_fixture.h"

// Without --force a file that appears under the name between extract's check and its rename is
// not replaced: the written file stays where it was, the newcomer as it is.
TEST_F(PackToolTest, PuttingInPlaceWithoutReplacingLeavesAFileThatAppeared) {
  WriteFile("written", {1, 2, 3});
  WriteFile("target", {9});
  try {
    PutInPlace(folder_ / "written", folder_ / "target", false);
    ADD_FAILURE() << "the target was replaced";
  } catch (const PackError& error) {
    EXPECT_NE(std::string(error.what()).find("appeared meanwhile; it is not replaced"),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(ReadFile("target"), (std::vector<uint8_t>{9}));
  EXPECT_EQ(ReadFile("written"), (std::vector<uint8_t>{1, 2, 3}));
  PutInPlace(folder_ / "written", folder_ / "new", false);
  EXPECT_EQ(ReadFile("new"), (std::vector<uint8_t>{1, 2, 3}));
  PutInPlace(folder_ / "new", folder_ / "target", true);
  EXPECT_EQ(ReadFile("target"), (std::vector<uint8_t>{1, 2, 3}));
}
