package i2cdln;

/**
 * The ADC/DAC board: four 8-bit analogue inputs and one analogue output. Safe to share between
 * threads; calls from several threads run at once, each on a session of its own.
 */
public final class AdcDacBoard {
    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every failure

    AdcDacBoard(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * Sets the output and reads the four inputs: each input is selected by a command (0x40 to
     * 0x43) that also carries the output value, then read twice, as the board answers the
     * first read with its previous conversion. No waits: 12 adapter calls. An input is handed
     * back only when every transfer of the exchange worked; any failure is an exception naming
     * the input.
     *
     * <p>Worst case: its native call's bound of 1 s (see {@link Dln} on worst-case times).
     *
     * @param output the output value, 0..255
     * @return the inputs 1 to 4, each 0..255, unscaled
     * @throws ArgumentOutOfRangeException when the output is outside 0..255
     * @throws NoDeviceException when the board stopped answering; the message names the input
     * @throws NoServerException when no adapter server answers
     */
    public int[] exchange(int output) {
        String method = "AdcDacBoard.exchange";
        ArgumentOutOfRangeException.check(method, device, "output", output, 0, 255);
        int[] inputs = new int[4];
        dln.session().run(method, device,
                session -> NativeSession.adcDac(session, address, output, inputs));
        return inputs;
    }
}
