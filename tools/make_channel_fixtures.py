#!/usr/bin/env python3
"""Channel fixtures made with scikit-rf, for velkor-sim's channel tests.

Physical lines as scikit-rf models them (an FR4 microstrip with a Djordjevic-Svensson
dielectric, a coax with conductor loss, a line with an impedance step, a line with an
open stub, a coupled pair as a 4-port from its even and odd modes, and a microstrip
de-embedded from pads taken as lossier than they are), written the ways users'
tools write them: scikit-rf's own Touchstone 1 writer, and Touchstone 2.0 from the small
writer below (this scikit-rf writes version 1 only), on full, band-limited and coarse
grids, in Hz/MHz/GHz and RI/MA/DB.

For each line, a reference: the pulse response to one 100 ps bit at 16 samples per bit,
computed here from the line's model on a fine grid from DC to half the sample rate (an
inverse FFT of S21, or of SDD21 from scikit-rf's mixed-mode conversion, with the DC
point taken from the model at 1 kHz). The files are committed; the tests need no Python.

    make channel-fixtures        (installs python3-scikit-rf and python3-numpy first)
    python3 tools/make_channel_fixtures.py OUT_DIR
"""
import os
import sys
import warnings

import numpy as np

# scikit-rf 0.15 still names np.complex and np.bool, which numpy 1.24 removed: its
# impedance and mixed-mode conversions (renormalize, se2gmm) need the aliases back.
for alias, builtin in (("complex", complex), ("bool", bool)):
    if alias not in np.__dict__:
        setattr(np, alias, builtin)
warnings.filterwarnings("ignore", category=FutureWarning, module="skrf")

import skrf as rf  # noqa: E402
from skrf.media import Coaxial, DefinedGammaZ0, MLine  # noqa: E402

BIT_RATE = 10e9
SAMPLES_PER_BIT = 16
DT = 1 / BIT_RATE / SAMPLES_PER_BIT
FINE_SIZE = 1 << 15          # 204.8 ns of response, a 4.88 MHz grid: longer than every line
LOWEST_MODEL_FREQUENCY = 1e3  # Hz: the models' DC value is taken here
REFERENCE_SPAN_UI = (-4, 24)  # of the pulse, about its peak, written to the reference files
REFERENCE_PORT = 50.0


# ---------------------------------------------------------------------------
# The lines, as scikit-rf models them: each a function of a Frequency giving a
# Network referenced to 50 ohm at every port.

def fr4_microstrip(freq, width=0.3e-3, ep_r=4.2):
    return MLine(frequency=freq, z0=None, w=width, h=0.17e-3, t=35e-6, ep_r=ep_r, tand=0.02, rho=1.72e-8,
                 rough=0.5e-6, diel="djordjevicsvensson", disp="kirschningjansen", f_epr_tand=1e9)


def thin_coax(freq, sigma=5.8e7):
    return Coaxial(frequency=freq, z0=None, Dint=0.51e-3, Dout=1.68e-3, epsilon_r=2.05, tan_delta=3e-4, sigma=sigma)


def at_50_ohm(network):
    """A network whose ports are at the line's own impedance, seen from 50 ohm."""
    network.renormalize(REFERENCE_PORT, s_def="pseudo")
    return network


def microstrip(freq):
    return at_50_ohm(fr4_microstrip(freq).line(0.5, "m"))


def coax(freq):
    return at_50_ohm(thin_coax(freq).line(7.5, "m"))


def impedance_step(freq):
    narrow, wide = fr4_microstrip(freq), fr4_microstrip(freq, width=0.6e-3)
    return (at_50_ohm(narrow.line(0.2, "m")) ** at_50_ohm(wide.line(0.15, "m")) **
            at_50_ohm(narrow.line(0.15, "m")))


def open_stub(freq):
    medium = fr4_microstrip(freq)
    return at_50_ohm(medium.line(0.25, "m") ** medium.shunt_delay_open(4e-3, "m") ** medium.line(0.25, "m"))


def deembedded_microstrip(freq):
    """A microstrip measured through two 3 dB pads and de-embedded with the pads taken as
    3.3 dB each: 0.6 dB of gain over the whole band, more than the line loses at low
    frequencies, where the result is no passive network."""
    pads = DefinedGammaZ0(frequency=freq, z0=REFERENCE_PORT)
    real, assumed = pads.attenuator(-3.0), pads.attenuator(-3.3)
    measured = real ** at_50_ohm(fr4_microstrip(freq).line(0.4, "m")) ** real
    return assumed.inv ** measured ** assumed.inv


# The pair's 4-port: ports in canonical order (in+, in-, out+, out-).
def pair_modes(freq):
    odd = at_50_ohm(fr4_microstrip(freq, width=0.36e-3, ep_r=3.9).line(0.35, "m"))
    even = at_50_ohm(fr4_microstrip(freq, width=0.22e-3).line(0.35, "m"))
    return even, odd


def coupled_pair(freq):
    """A symmetric coupled pair from its even and odd modes, each mode's line seen from
    50 ohm per conductor (100 ohm differential, 25 ohm common)."""
    even, odd = pair_modes(freq)
    se, so = even.s, odd.s
    s = np.zeros((len(freq), 4, 4), dtype=complex)
    for (i, j) in [(0, 0), (0, 1), (1, 0), (1, 1)]:  # mode port i to mode port j
        plus, minus = 0.5 * (se[:, i, j] + so[:, i, j]), 0.5 * (se[:, i, j] - so[:, i, j])
        a, b = 2 * i, 2 * j  # the + conductor of each end; the - one follows it
        s[:, a, b] = s[:, a + 1, b + 1] = plus
        s[:, a + 1, b] = s[:, a, b + 1] = minus
    return rf.Network(frequency=freq, s=s, z0=REFERENCE_PORT)


def in_port_order(network, order):
    """The canonical (in+, in-, out+, out-) 4-port with its ports renumbered so that
    in+, in-, out+, out- land on the file's ports `order` (from 1)."""
    renumbered = network.copy()
    renumbered.renumber([0, 1, 2, 3], [p - 1 for p in order])
    return renumbered


def differential_transmission(network):
    """SDD21 of the canonical 4-port through scikit-rf's mixed-mode conversion, which
    pairs its ports (1, 2) and (3, 4): (in+, in-) and (out+, out-) as they stand."""
    mixed = network.copy()
    mixed.se2gmm(p=2)
    return mixed.s[:, 1, 0]


LINES = {
    "microstrip": (microstrip, lambda n: n.s[:, 1, 0]),
    "coax": (coax, lambda n: n.s[:, 1, 0]),
    "step": (impedance_step, lambda n: n.s[:, 1, 0]),
    "stub": (open_stub, lambda n: n.s[:, 1, 0]),
    "deembedded": (deembedded_microstrip, lambda n: n.s[:, 1, 0]),
    "pair": (coupled_pair, differential_transmission),
}


# ---------------------------------------------------------------------------
# The files, as users bring them.

def grid(first, step, last):
    return np.arange(first, last + step / 2, step)


FULL = grid(10e6, 50e6, 25e9)
FIXTURES = [
    # name, line, frequencies, unit, format, writer (1: scikit-rf, 2: version 2.0), ports or extra
    ("microstrip_full.s2p", "microstrip", FULL, "GHz", "RI", 1, None),
    ("microstrip_from100MHz.s2p", "microstrip", grid(100e6, 50e6, 25e9), "MHz", "MA", 1, None),
    ("microstrip_from1GHz.s2p", "microstrip", grid(1e9, 100e6, 25e9), "GHz", "DB", 1, None),
    ("microstrip_to7GHz.s2p", "microstrip", grid(10e6, 50e6, 7e9), "GHz", "RI", 1, None),
    ("microstrip_coarse.s2p", "microstrip", grid(250e6, 250e6, 25e9), "MHz", "DB", 1, None),
    ("microstrip_v2.ts", "microstrip", grid(100e6, 100e6, 20e9), "Hz", "MA", 2, "12_21"),
    ("coax_full.s2p", "coax", FULL, "GHz", "RI", 1, None),
    ("coax_coarse.s2p", "coax", grid(250e6, 250e6, 25e9), "GHz", "DB", 1, None),
    ("coax_1to6GHz.s2p", "coax", grid(1e9, 25e6, 6e9), "MHz", "MA", 1, None),
    ("step_full.s2p", "step", FULL, "GHz", "MA", 1, None),
    ("step_coarse.s2p", "step", grid(250e6, 250e6, 25e9), "GHz", "RI", 1, None),
    ("step_v2.ts", "step", grid(100e6, 50e6, 15e9), "GHz", "DB", 2, "21_12"),
    ("stub_full.s2p", "stub", FULL, "GHz", "DB", 1, None),
    ("stub_to7GHz.s2p", "stub", grid(10e6, 50e6, 7e9), "GHz", "RI", 1, None),
    ("stub_from1GHz.s2p", "stub", grid(1e9, 100e6, 25e9), "MHz", "MA", 1, None),
    ("deembedded_full.s2p", "deembedded", grid(10e6, 50e6, 30e9), "GHz", "RI", 1, None),
    ("deembedded_coarse.s2p", "deembedded", grid(250e6, 250e6, 30e9), "GHz", "DB", 1, None),
    ("pair_1324_full.s4p", "pair", grid(10e6, 100e6, 25e9), "GHz", "RI", 1, (1, 3, 2, 4)),
    ("pair_1234_coarse.s4p", "pair", grid(250e6, 250e6, 25e9), "MHz", "MA", 1, (1, 2, 3, 4)),
    ("pair_1234_upper.ts", "pair", grid(100e6, 100e6, 7e9), "GHz", "DB", 2, (1, 2, 3, 4)),
]
NUMBER_FORMAT = "{:.6g}"
UNIT_SCALE = {"Hz": 1.0, "kHz": 1e3, "MHz": 1e6, "GHz": 1e9}


def parts(value, form):
    if form == "RI":
        return value.real, value.imag
    angle = np.degrees(np.angle(value))
    if form == "MA":
        return abs(value), angle
    return 20 * np.log10(max(abs(value), 1e-300)), angle


def write_version_2(path, network, unit, form, layout):
    """Touchstone 2.0: a 2-port in the given [Two-Port Data Order], more ports as the
    upper triangle of each (reciprocal) matrix, four values a line."""
    n = network.nports
    scale = UNIT_SCALE[unit]
    with open(path, "w") as out:
        out.write("! %s, written as Touchstone 2.0 for velkor-sim's channel tests\n" % os.path.basename(path))
        out.write("[Version] 2.0\n# %s S %s R 50\n[Number of Ports] %d\n" % (unit, form, n))
        if n == 2:
            out.write("[Two-Port Data Order] %s\n" % layout)
        else:
            out.write("[Matrix Format] Upper\n")
        out.write("[Number of Frequencies] %d\n" % len(network.f))
        out.write("[Reference] %s\n[Network Data]\n" % " ".join(["50"] * n))
        for k, f in enumerate(network.f):
            s = network.s[k]
            if n == 2:
                order = [(0, 0), (0, 1), (1, 0), (1, 1)] if layout == "12_21" else [(0, 0), (1, 0), (0, 1), (1, 1)]
                rows = [order]
            else:
                rows = [[(r, c) for c in range(r, n)] for r in range(n)]
            lines = []
            for row in rows:
                for start in range(0, len(row), 4):
                    lines.append(" ".join(NUMBER_FORMAT.format(x) for (r, c) in row[start:start + 4]
                                          for x in parts(s[r, c], form)))
            out.write(NUMBER_FORMAT.format(f / scale) + " " + "\n".join(lines) + "\n")
        out.write("[End]\n")


def write_fixture(out_dir, name, line, frequencies, unit, form, writer, extra):
    network = LINES[line][0](rf.Frequency.from_f(frequencies, unit="hz"))
    if network.nports == 4:
        network = in_port_order(network, extra)
    path = os.path.join(out_dir, name)
    if writer == 2:
        write_version_2(path, network, unit, form, extra if network.nports == 2 else None)
        return
    network.frequency.unit = unit.lower()
    network.comments = "%s: %s line from scikit-rf %s" % (name, line, rf.__version__)
    network.write_touchstone(path, form=form.lower(), format_spec_A=NUMBER_FORMAT, format_spec_B=NUMBER_FORMAT,
                             format_spec_freq="{:.10g}")


# ---------------------------------------------------------------------------
# The reference pulses, from each model on the fine grid.

def reference_pulse(line):
    model, transmission = LINES[line]
    frequency = np.arange(FINE_SIZE // 2 + 1) / (FINE_SIZE * DT)
    frequency[0] = LOWEST_MODEL_FREQUENCY
    h = np.array(transmission(model(rf.Frequency.from_f(frequency, unit="hz"))), dtype=complex)
    # DC: the model's value at 1 kHz, real (its sign kept); the top bin real too.
    h[0] = abs(h[0]) * np.sign(h[0].real)
    h[-1] = h[-1].real
    taps = np.fft.irfft(h, n=FINE_SIZE)  # already the response times the step
    # One bit: the sum of SAMPLES_PER_BIT taps, the window taken as periodic.
    pulse = sum(np.roll(taps, m) for m in range(SAMPLES_PER_BIT))
    peak = int(np.argmax(pulse))
    return frequency, h, taps, pulse, peak


def early_energy(taps):
    """Share of the response's energy more than 4 samples before it first reaches 10 % of
    its peak (going back from the peak): what a causal line does not have."""
    peak = int(np.argmax(np.abs(taps)))
    rise = peak
    while rise > 0 and abs(taps[rise - 1]) >= 0.1 * abs(taps[peak]):
        rise -= 1
    before = np.concatenate([taps[:max(rise - 4, 0)], taps[FINE_SIZE // 2:]])  # the second half is before 0
    return float(np.sum(before ** 2) / np.sum(taps ** 2))


def passivity(network):
    """Largest eigenvalue of S^H S over the band."""
    s = network.s
    return max(np.linalg.eigvalsh(np.conj(np.transpose(m)) @ m).max() for m in s)


def write_reference(out_dir, line):
    frequency, h, taps, pulse, peak = reference_pulse(line)
    nyquist = int(round(BIT_RATE / 2 / frequency[1]))
    loss = -20 * np.log10(abs(h[nyquist]))
    path = os.path.join(out_dir, line + ".pulse")
    with open(path, "w") as out:
        out.write("# %s: pulse response to one bit (%g ps, %d samples per bit) from scikit-rf %s's model\n"
                  % (line, 1e12 / BIT_RATE, SAMPLES_PER_BIT, rf.__version__))
        out.write("# on a %.4g MHz grid from DC to %.4g GHz (inverse FFT of %d points, no taper)\n"
                  % (frequency[1] / 1e6, frequency[-1] / 1e9, FINE_SIZE))
        out.write("# loss at Nyquist %.3f dB; DC transmission %.6f; peak at %.6g ns\n"
                  % (loss, h[0].real, peak * DT * 1e9))
        out.write("# energy before the response's rise (the second half of the window counted as before 0): %.2f %%\n"
                  % (100 * early_energy(taps)))
        out.write("# samples from the peak, value\n")
        for offset in range(REFERENCE_SPAN_UI[0] * SAMPLES_PER_BIT, REFERENCE_SPAN_UI[1] * SAMPLES_PER_BIT + 1):
            out.write("%d %.7g\n" % (offset, pulse[(peak + offset) % FINE_SIZE]))
    return loss, peak


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_channel_fixtures.py OUT_DIR")
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for line in LINES:
        loss, peak = write_reference(out_dir, line)
        print("%-11s loss at Nyquist %6.2f dB, pulse peak at %7.3f ns" % (line, loss, peak * DT * 1e9))
    for fixture in FIXTURES:
        write_fixture(out_dir, *fixture)
        network = LINES[fixture[1]][0](rf.Frequency.from_f(fixture[2], unit="hz"))
        print("%-26s %4d points %.4g-%.4g GHz, largest eigenvalue of S^H S %.4f"
              % (fixture[0], len(fixture[2]), fixture[2][0] / 1e9, fixture[2][-1] / 1e9, passivity(network)))


if __name__ == "__main__":
    main()
