// Linked into the engine built without shared memory (--post-js, see
// web.cmake). Its main() leaves the stack at every wait for input, so the
// call that starts it returns at the first wait, and the program's real end
// is the return from main in the last resume: runMain ends the program
// there, as a return from main ends it in the other build (onExit then
// hands the learning file back).
Module['runMain'] = function (args) {
  callMain(args);
  if (!Asyncify.currData) return;
  Asyncify.whenDone().then(function (status) {
    try {
      exit(status);
    } catch (e) {
      if (!(e instanceof ExitStatus)) throw e;
    }
  });
};
