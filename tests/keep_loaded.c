/* Preloaded into the viewer by run_viewer.sh: shared libraries are never
 * unloaded. The GL driver modules that SDL's shutdown unloads keep blocks
 * until exit; unloaded, their code would show in leak reports as unknown
 * frames that no suppression can name. */
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
