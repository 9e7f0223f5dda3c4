// Entry point of the game.
#include "app/app.h"

int main()
{
    start_up();
    return main_loop();
}
