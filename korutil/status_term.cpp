// Status messages and questions on the terminal: text on standard error,
// answers from the terminal; without a terminal every answer is No.
#include <stdio.h>

#include "korutil/korutil.h"
#include "platform/plat.h"

extern "C" void StatusMessage(const char* text, int32_t error) {
  (void)error;
  fprintf(stderr, "%s\n", text ? text : "");
  fflush(stderr);
}

// An empty answer is No whatever the default button would be.
extern "C" int32_t StatusAsk(const char* question, int32_t default_no) {
  (void)default_no;
  return PlatAskTerminal(question) ? 1 : 0;
}

// Yes/No/Cancel (type 32-63) has no Cancel here: 1 Yes, 0 No.
extern "C" int32_t KORDialogAsk(const char* text, int32_t type) {
  (void)type;
  return PlatAskTerminal(text) ? 1 : 0;
}
