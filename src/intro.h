// The title sequence played once at start-up.
#ifndef INTRO_H
#define INTRO_H

void intro();

#endif
