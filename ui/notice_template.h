/* The notice dialog's standard sentence, the text of its control IDC_NOTICE_TEXT: a
   format with the product name and the display version as its two "%s". One source for
   the resource script and for tools that show what the dialog will say. */
#pragma once

#define FALWICK_NOTICE_TEMPLATE \
  "%s Version %s is now available for download from www.orvanel.example!"
