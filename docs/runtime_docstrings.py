"""A griffe extension for the API reference: the signatures and types come
from the stub package (qelto-stubs), the texts from the module's own
docstrings, so that neither is written twice."""

import inspect

import griffe


def _runtime_doc(owner, name):
    # Read the class dictionary, not the attribute: reading a property on
    # the class gives its descriptor here, and a static method's entry
    # gives the function through __func__.
    if inspect.isclass(owner) and name in vars(owner):
        member = vars(owner)[name]
        member = getattr(member, "__func__", member)
    else:
        member = getattr(owner, name, None)
    return getattr(member, "__doc__", None), member


class RuntimeDocstrings(griffe.Extension):
    def on_package(self, *, pkg, **kwargs):
        if pkg.name != "qelto":
            return
        import qelto

        self._fill(pkg, qelto)
        pkg.docstring = griffe.Docstring(inspect.cleandoc(qelto.__doc__), parent=pkg, parser="google")

    def _fill(self, obj, runtime):
        for name, member in obj.members.items():
            # Dunder methods keep Python's generic texts; the reference
            # leaves them out.
            if member.is_alias or name.startswith("__"):
                continue
            doc, runtime_member = _runtime_doc(runtime, name)
            if doc:
                member.docstring = griffe.Docstring(inspect.cleandoc(doc), parent=member, parser="google")
            if member.is_class and runtime_member is not None:
                self._fill(member, runtime_member)
