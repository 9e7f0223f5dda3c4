// Bringing the input module back to its start-up state between cases.
#pragma once

// Drops the platform's pending events and empties the queue, the held list,
// the auto-repeat, the stick's buttons and the quit request.
void reset_input_state();
