// Desktop URL opener.
#include "platform/plat.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

int PlatOpenUrl(const char* url) {
  if (!url || !*url) return 0;
  const char* argv[] = {"xdg-open", url, nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, (char* const*)argv, environ) != 0) return 0;
  // The opener forks into the background itself; reap it so no zombie stays.
  int status;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
