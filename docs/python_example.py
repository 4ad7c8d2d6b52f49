# %% [markdown]
# # Spectral-image cubes from Python
#
# A notebook in plain Python (cells start with `# %%`; Jupyter with jupytext, VS Code and
# Spyder run them cell by cell, and `python3 docs/python_example.py` runs them all). It reads
# the cubes that `scripts/demo.sh` writes into `demo-output/`: a synthetic energy-dispersive
# map of 128 x 128 pixels and 2048 channels of 10 eV.
#
# Build the package first (`scripts/build.sh release`), then either install it
# (`cmake --install build/release`) or put `build/release/python` on `PYTHONPATH`.

# %%
import os

import matplotlib

if __name__ == "__main__" and "ipykernel" not in os.sys.modules:
    matplotlib.use("Agg")  # run as a script: write the figures to files
import matplotlib.pyplot as plt
import numpy as np

import sc_api

demo = os.environ.get("SC_API_DEMO_DIR", "demo-output")
figures = os.environ.get("SC_API_FIGURE_DIR", demo)
KEV_PER_CHANNEL = 0.010

# %% [markdown]
# ## Open the compressed cube acquired line by line
# `sc_api.open` takes the cube's `.scdh` file (compressed or fragmented) or `.raw` file.

# %%
cube = sc_api.open(os.path.join(demo, "eds_acquired.scdh"))
height, width, depth = cube.shape
print(cube, "calibration (eV per channel, offset eV):", cube.calibration)
# The energy of each channel, from the cube's calibration when it carries one.
energy = cube.energies if cube.calibration else np.arange(depth) * KEV_PER_CHANNEL

# %% [markdown]
# ## A spectrum, and the sum spectrum of a region
# `cube[y, x]` is the spectrum of one pixel; `region_spectrum` sums the pixels of a boolean
# mask (here a disc in the middle of the map).

# %%
pixel = cube[height // 2, width // 3]
yy, xx = np.mgrid[:height, :width]
disc = (yy - height / 2) ** 2 + (xx - width / 2) ** 2 < (min(height, width) / 6) ** 2
region, pixels = cube.region_spectrum(disc, return_count=True)

fig, ax = plt.subplots(figsize=(8, 3.5))
ax.semilogy(energy, np.maximum(region / pixels, 1e-3), label=f"mean of {pixels} pixels")
ax.semilogy(energy, np.maximum(pixel, 1e-3), alpha=0.6, label="one pixel")
ax.set(xlabel="energy (keV)", ylabel="counts", xlim=(0, 10), ylim=(1e-2, None))
ax.legend()
fig.savefig(os.path.join(figures, "python_spectrum.png"), dpi=100, bbox_inches="tight")

# %% [markdown]
# ## Element maps
# `cube.roi(first, count)` sums a channel range per pixel, read from the channel images, which
# the compressed cube stores apart from the spectra.

# %%
lines = {"Fe Ka": 6.40, "Si Ka": 1.74, "Ca Ka": 3.69}
fig, axes = plt.subplots(1, len(lines), figsize=(10, 3.5))
for ax, (label, kev) in zip(axes, lines.items()):
    first = int((kev - 0.08) / KEV_PER_CHANNEL)
    element_map = cube.roi(first, 16)
    image = ax.imshow(element_map, cmap="inferno")
    ax.set_title(f"{label} ({first}..{first + 15})")
    fig.colorbar(image, ax=ax, shrink=0.8)
fig.savefig(os.path.join(figures, "python_element_maps.png"), dpi=100, bbox_inches="tight")

# %% [markdown]
# ## The tiled acquisition: which pixels were acquired
# The fragmented cube's last tile was interrupted; `cube.acquired` shows where.

# %%
with sc_api.open(os.path.join(demo, "eds_tiled.scdh")) as tiled:
    acquired = tiled.acquired
    print(tiled.format, f"{acquired.mean():.0%} of the map acquired")
    fe = tiled.roi(int(6.32 / KEV_PER_CHANNEL), 16)
fig, (left, right) = plt.subplots(1, 2, figsize=(8, 3.5))
left.imshow(acquired, cmap="gray")
left.set_title("acquired")
right.imshow(fe, cmap="inferno")
right.set_title("Fe Ka, tiled cube")
fig.savefig(os.path.join(figures, "python_tiled.png"), dpi=100, bbox_inches="tight")

# %% [markdown]
# ## Larger than memory: dask
# `to_dask` gives a lazy array whose chunks are read inside the tasks (each opens the cube by
# its path), so the same code runs on a `dask.distributed` cluster.

# %%
lazy = cube.to_dask(chunks=(32, 32, -1))
mean_spectrum = lazy.mean(axis=(0, 1)).compute()
print("brightest channel:", int(mean_spectrum.argmax()),
      f"({mean_spectrum.argmax() * KEV_PER_CHANNEL:.2f} keV)")

# %% [markdown]
# ## Build a small cube from Python
# `sc_api.build` writes a cube line by line, as an acquisition delivers it; leaving the block
# closes it, an exception cancels it. `roi` shows the lines added so far.

# %%
small = os.path.join(figures, "python_built.scdh")
with sc_api.build(small, width=32, height=16, depth=256) as builder:
    rng = np.random.default_rng(1)
    for y in range(16):
        line = rng.poisson(2.0, size=(32, 256)).astype(np.uint16)
        line[:, 100:110] += np.uint16(y)  # a peak that grows down the map
        builder.add_line(line)
    live = builder.roi(100, 10)
with sc_api.open(small) as built:
    assert np.array_equal(built.roi(100, 10), live)
    report = sc_api.check(small)
    print(built, "consistent:", report.consistent, f"({report.values_compared} values)")
sc_api.remove(small)
cube.close()
