// Input translation: keys, joystick and pointer into a queue of input codes.
#include "input/input.h"

// The ring of pending input codes; init_video empties it at start-up.
int32_t input_queue[64];
int32_t queue_head = 0;
int32_t queue_tail = 0;
