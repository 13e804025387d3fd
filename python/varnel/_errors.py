"""The exception the varnel package raises for the library's errors."""

from typing import Optional


class VarnelError(ValueError):
    """An error of the varnel library, with the number and text the console
    program shows for it.

    Attributes:
        message: the console program's text, e.g. ``"Input file has errors (8)"``.
        number: the data file error number 1 to 10 for faulty data (the
            console program's "Input file has errors (N)"), the target for a
            target distribution without cases or a faulty chance value, else 0.
        kind: what went wrong: ``"open_failed"``, ``"read_failed"``,
            ``"bad_data"``, ``"too_few_categories"``, ``"empty_target"``,
            ``"bad_settings"`` or ``"numerical_stop"``.
        status: the exit status the console program ends with for it: 1 for
            faulty input, 2 for a numerical stop inside the fit.
    """

    message: str
    number: int
    kind: str
    status: int

    def __init__(self, message: str, number: int = 0, kind: str = "bad_data",
                 status: Optional[int] = None) -> None:
        """Makes the error; status defaults to the console program's for kind."""
        super().__init__(message)
        self.message = message
        self.number = number
        self.kind = kind
        self.status = (2 if kind == "numerical_stop" else 1) if status is None else status

    def __reduce__(self):  # type: ignore[no-untyped-def]
        # Pickling (e.g. across processes) keeps the number, kind and status.
        return (type(self), (self.message, self.number, self.kind, self.status))
