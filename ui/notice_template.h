/* The notice dialog's standard sentence, the text of its control IDC_NOTICE_TEXT: a
   format with the product name and the display version as its two "%s", and the maker's
   web address of the build (ui/web_address.h). One source for the resource script and
   for tools that show what the dialog will say. windres joins the adjacent literals into
   one, as the compiler does. */
#pragma once

#include "ui/web_address.h"

#define FALWICK_NOTICE_TEMPLATE \
  "%s Version %s is now available for download from " FALWICK_WEB_ADDRESS "!"
