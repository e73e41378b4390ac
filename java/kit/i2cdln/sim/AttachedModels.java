package i2cdln.sim;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;

/**
 * The Java device models attached to one simulator: each served over a provider connection of
 * its own, and claimed again when the simulator restarts.
 */
final class AttachedModels {
    private final List<Attached> attached = new ArrayList<>();
    private int port; // dln-sim's provider port; 0 while it takes no providers

    /** A (re)started simulator's provider port: every model is claimed there again. */
    synchronized void serveOn(int providerPort) throws IOException {
        port = providerPort;
        for (Attached attachment : attached) {
            attachment.connect();
        }
    }

    /** Ends every model's connection, before the simulator stops for a restart. */
    synchronized void disconnect() {
        for (Attached attachment : attached) {
            attachment.provider.close();
        }
        port = 0;
    }

    /**
     * Attaches a model.
     *
     * @param why the reason to give when the simulator takes no providers
     */
    synchronized SimRobot.Attachment add(String claim, int number, DeviceModel model, String why)
            throws IOException {
        if (port == 0) {
            throw new IllegalStateException(why);
        }
        Attached attachment = new Attached(claim, number, model);
        attachment.connect();
        attached.add(attachment);
        return attachment;
    }

    /** The first attached model of a class. */
    synchronized <T extends DeviceModel> T model(Class<T> type) {
        for (Attached attachment : attached) {
            if (type.isInstance(attachment.model)) {
                return type.cast(attachment.model);
            }
        }
        throw new IllegalArgumentException("no " + type.getName() + " is attached");
    }

    /** Takes every model off the bus for good. */
    synchronized void closeAll() {
        for (Attached attachment : new ArrayList<>(attached)) {
            attachment.close();
        }
    }

    /** An attachment as the test sees it, kept across restarts. */
    private final class Attached implements SimRobot.Attachment {
        final String claim;
        final int number;
        final DeviceModel model;
        DeviceProvider provider;

        Attached(String claim, int number, DeviceModel model) {
            this.claim = claim;
            this.number = number;
            this.model = model;
        }

        void connect() throws IOException {
            provider = DeviceProvider.connect(port, claim, number, model, SimRobot.MODEL_TIMEOUT);
        }

        @Override
        public DeviceModel model() {
            return model;
        }

        @Override
        public void close() {
            synchronized (AttachedModels.this) {
                attached.remove(this);
                provider.close();
            }
        }
    }
}
