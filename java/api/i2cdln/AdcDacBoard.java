package i2cdln;

import java.util.Arrays;

/**
 * The ADC/DAC board: four 8-bit analogue inputs and one analogue output. Calls open their own
 * adapter connection and may run from several threads at once.
 */
public final class AdcDacBoard {
    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every call

    AdcDacBoard(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * Sets the output and reads the four inputs ({@code adcsdac}): each input is selected by a
     * command that also carries the output value. No waits: 20 adapter calls. Worst case:
     * the native method's bound, plus {@value Dln#PROBE_BOUND_MS} ms for the server probe after a
     * failure.
     *
     * <p>The board answers the first read of each input with its previous conversion, so an
     * input is handed back only when both of its reads succeeded: the library leaves the input's
     * slot as it was when either fails, and this method fills the slots with -1 beforehand.
     *
     * @param output the output value, 0..255
     * @return the inputs 1 to 4, each 0..255, unscaled
     * @throws ArgumentOutOfRangeException when the output is outside 0..255
     * @throws NoDeviceException when the board stopped answering; the message names the input
     * @throws NoServerException when no adapter server answers
     */
    public int[] exchange(int output) {
        String method = Native.ADCS_DAC.javaName;
        ArgumentOutOfRangeException.check(method, device, "output", output, 0, 255);
        int[] slots = new int[255];
        slots[0] = address;
        slots[1] = output;
        Arrays.fill(slots, 2, 6, -1);
        Native.ADCS_DAC.call(slots);
        for (int channel = 0; channel < 4; channel++) {
            // The channels before a failure keep their values; the failing one and later do not.
            if (slots[2 + channel] < 0) {
                throw dln.failure(method, device,
                        "reading input " + (channel + 1) + " failed");
            }
        }
        return Arrays.copyOfRange(slots, 2, 6);
    }
}
