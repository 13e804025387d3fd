// Long calls of the library from Python: threads, progress reports and
// Ctrl-C through the library's RunControl.
#include "bindings.h"

namespace varnel::python {

Run::Run(int threads, nb::object progress) : threads_(threads), progress_(std::move(progress))
{
    if (threads < 0)
        throw nb::value_error("threads must be at least 1, or None for one per core");
}

RunControl Run::control()
{
    RunControl run;
    run.threads = threads_;
    run.progress = [this](int done, int total) { report(done, total); };
    run.cancel = &cancel_;
    return run;
}

// On the calling thread, between fits; the call's threads go on meanwhile.
void Run::report(int done, int total) noexcept
{
    nb::gil_scoped_acquire locked;
    if (raised_)
        return;
    try {
        if (PyErr_CheckSignals() != 0)
            throw nb::python_error();
        if (progress_.is_valid() && !progress_.is_none())
            progress_(done, total);
    } catch (nb::python_error& e) {
        raised_.emplace(std::move(e));
        cancel_.store(true);
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "the progress report failed");
        raised_.emplace();
        cancel_.store(true);
    }
}

void Run::raise_pending()
{
    if (!raised_)
        return;
    raised_->restore();
    raised_.reset();
    throw nb::python_error();
}

}  // namespace varnel::python
