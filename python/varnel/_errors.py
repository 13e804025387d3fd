"""The exception the varnel package raises for the library's errors."""

from typing import Optional


class VarnelError(ValueError):
    """An error of the varnel library, with the number and text the console
    program shows for it.

    Attributes:
        message: the program's text, e.g. ``"Input file has errors (8)"`` or
            ``"DataFrame: row 17: rating \"abc\" is not a number"``.
        number: the data file error number 1 to 10 for faulty data (the
            console program's "Input file has errors (N)"), the target for a
            target distribution without cases or a faulty chance value, else 0.
        kind: what went wrong.  One table: ``"open_failed"``,
            ``"read_failed"``, ``"bad_data"``, ``"too_few_categories"``,
            ``"empty_target"``, ``"bad_settings"`` (a setting out of range;
            the message begins with its name) or ``"numerical_stop"``.  Whole
            studies: ``"bad_input"`` (ratings, options or a design the call
            cannot take), ``"failed_fit"`` (a fit or refit the result
            depends on failed or did not converge), ``"not_converged"``,
            ``"write_failed"`` or ``"cancelled"``.
        status: the exit status the programs end with for it: 1 for faulty
            input or options, 2 for a numerical stop or a failed fit.
    """

    message: str
    number: int
    kind: str
    status: int

    def __init__(self, message: str, number: int = 0, kind: str = "bad_data",
                 status: Optional[int] = None) -> None:
        """Makes the error; status defaults to the programs' for kind."""
        super().__init__(message)
        self.message = message
        self.number = number
        self.kind = kind
        if status is None:
            status = {"numerical_stop": 2, "failed_fit": 2, "cancelled": 130}.get(kind, 1)
        self.status = status

    def __reduce__(self):  # type: ignore[no-untyped-def]
        # Pickling (e.g. across processes) keeps the number, kind and status.
        return (type(self), (self.message, self.number, self.kind, self.status))
