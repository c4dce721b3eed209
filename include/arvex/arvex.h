/*
 * Every public header of arvex-cups in one include.
 */
#ifndef ARVEX_ARVEX_H
#define ARVEX_ARVEX_H

#include <arvex/buffer.h>
#include <arvex/cups.h>
#include <arvex/error.h>
#include <arvex/frame.h>
#include <arvex/jobcontrol.h>
#include <arvex/jobinfo.h>
#include <arvex/marking.h>
#include <arvex/numbering.h>
#include <arvex/textcheck.h>

#endif
