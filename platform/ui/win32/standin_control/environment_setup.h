#pragma once
// Where a new control gets its movie: the driving file VELMO_STANDIN_DRIVER names, with its record
// lines appended to the file VELMO_STANDIN_RECORD names. The variables are read for each control
// made, so a test can change them between controls.

#include <memory>
#include <vector>

#include "platform/standin/standin_movie_control.h"

namespace velmo::platform::standin_control {

struct StandinSetup {
    std::unique_ptr<StandinMovieControl> movie;
    std::vector<StandinPaint> paints;  // the driving file's, kept for the picture
};

// Without a driving file the movie sends nothing; a file that cannot be read or parsed is reported
// as one record line and then counts as none.
StandinSetup SetUpFromEnvironment();

}  // namespace velmo::platform::standin_control
